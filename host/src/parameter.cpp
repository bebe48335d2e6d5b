#include <hostsdk/ids.h>
#include <hostsdk/parameter.h>

HostID Number::DataType() const {
    return ID_Number;
}

HostID Point::DataType() const {
    return ID_Point;
}
