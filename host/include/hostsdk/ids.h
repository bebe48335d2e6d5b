// The host's identifier constants for data types and kinds of control.
#pragma once

#include <hostsdk/host_id.h>

// Data types.
extern HOST_API const HostID ID_Number;
extern HOST_API const HostID ID_Point;
extern HOST_API const HostID ID_Image;
extern HOST_API const HostID ID_Mask;

// Kinds of control.
extern HOST_API const HostID ID_CheckboxControl;
extern HOST_API const HostID ID_ComboControl;
extern HOST_API const HostID ID_MultiButtonControl;
extern HOST_API const HostID ID_SliderControl;
extern HOST_API const HostID ID_ButtonControl;
extern HOST_API const HostID ID_OffsetControl;
extern HOST_API const HostID ID_CrosshairControl;
