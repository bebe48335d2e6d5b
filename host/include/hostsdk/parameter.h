// Values that flow between tools: numbers, points and images.
#pragma once

#include <hostsdk/host_id.h>
#include <hostsdk/object.h>

class HOST_API Parameter : public Object {
public:
    // The data type's identifier: "Number", "Point", "Image".
    virtual HostID DataType() const = 0;
};

// One double: every control value (checkboxes, buttons, combo boxes, sliders).
class HOST_API Number : public Parameter {
public:
    explicit Number(double value) : Value(value) {}
    HostID DataType() const override;

    double Value;
};

// A position in units of the image's width and height.
class HOST_API Point : public Parameter {
public:
    Point(double x, double y) : X(x), Y(y) {}
    HostID DataType() const override;

    double X;
    double Y;
};
