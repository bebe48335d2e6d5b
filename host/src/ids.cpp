#include <hostsdk/ids.h>

const HostID ID_Number("Number");
const HostID ID_Point("Point");
const HostID ID_Image("Image");
const HostID ID_Mask("Mask");

const HostID ID_CheckboxControl("CheckboxControl");
const HostID ID_ComboControl("ComboControl");
const HostID ID_MultiButtonControl("MultiButtonControl");
const HostID ID_SliderControl("SliderControl");
const HostID ID_ButtonControl("ButtonControl");
const HostID ID_OffsetControl("OffsetControl");
const HostID ID_CrosshairControl("CrosshairControl");
