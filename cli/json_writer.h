// A small streaming JSON writer: enough for the command line's reports.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of an object.
    void Key(const std::string& name);
    void String(const std::string& value);
    void Number(double value);
    void Bool(bool value);

private:
    void BeforeValue();
    void Indent();
    void WriteEscaped(const std::string& value);

    std::ostream& out_;
    std::vector<bool> hasMembers_;  // per open object or array
    bool afterKey_ = false;
};
