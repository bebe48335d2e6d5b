// Tag lists: (tag, value) pairs that follow an operation's fixed arguments,
// ended by tag 0. The top four bits of a tag give its value's kind.
//
//     TagList tags(TAG_Default, 1.0, TAG_Item, "Median", TAG_DONE);
//
// A value of the wrong kind for its tag is a programming error and throws
// std::invalid_argument while the list is built. Strings are copied, so a
// list outlives the texts it was built from.
#pragma once

#include <hostsdk/export.h>
#include <hostsdk/host_id.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

using Tag = uint32_t;

enum class TagKind : uint32_t {
    Integer = 0x1,
    Double = 0x2,
    String = 0x3,
    Pointer = 0x6,
    Identifier = 0x8,
};

constexpr TagKind KindOf(Tag tag) { return static_cast<TagKind>(tag >> 28); }

constexpr Tag TAG_DONE = 0;

// --- Tags of link declarations (Operator::AddInput / AddOutput) ---
constexpr Tag TAG_LinkDataType = 0x88020000;    // HostID: "Number", "Image", "Mask", "Point"
constexpr Tag TAG_LinkRole = 0x10020001;        // integer: main image link (1), mask (3)
constexpr Tag TAG_Control = 0x80030000;         // HostID: kind of control
constexpr Tag TAG_SecondControl = 0x80030001;   // HostID: a second control (on-view)
constexpr Tag TAG_RangeMin = 0x20030000;        // double
constexpr Tag TAG_RangeMax = 0x20030001;        // double
constexpr Tag TAG_Default = 0x20030004;         // double: starting value
constexpr Tag TAG_LinkOptional = 0x10030002;    // integer
constexpr Tag TAG_NotifyOnChange = 0x1003000A;  // integer
constexpr Tag TAG_IntegerSteps = 0x1003000C;    // integer
constexpr Tag TAG_Item = 0x38040000;            // string: one item of a combo box or button row
constexpr Tag TAG_ControlWidth = 0x20040007;    // double
constexpr Tag TAG_ComboStyle = 0x10050000;      // integer
constexpr Tag TAG_ButtonStyle = 0x1005000A;     // integer

// --- Tags of NewImage ---
constexpr Tag TAG_ImageLike = 0x60020000;  // pointer: an Image to take the size from

class HOST_API TagList {
public:
    struct Entry {
        Tag tag = TAG_DONE;
        int32_t integer = 0;
        double number = 0.0;
        std::string text;
        const void* pointer = nullptr;
        HostID id;
    };

    TagList() = default;
    // A list of no pairs, written as its ending TAG_DONE alone.
    explicit TagList(Tag end) { CheckEnd(end); }

    // Pairs of (tag, value), ended by TAG_DONE.
    template <typename Value, typename... Rest>
    TagList(Tag tag, Value&& value, Rest&&... rest) {
        AppendPairs(tag, std::forward<Value>(value), std::forward<Rest>(rest)...);
    }

    void AddInteger(Tag tag, int32_t value);
    void AddDouble(Tag tag, double value);
    void AddString(Tag tag, const char* value);
    void AddPointer(Tag tag, const void* value);
    void AddID(Tag tag, const HostID& value);

    size_t Size() const { return entries_.size(); }
    const Entry& operator[](size_t i) const { return entries_[i]; }
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }

    // First entry with this tag, or nullptr.
    const Entry* Find(Tag tag) const;
    int32_t GetInteger(Tag tag, int32_t fallback) const;
    double GetDouble(Tag tag, double fallback) const;
    const char* GetString(Tag tag, const char* fallback) const;
    const void* GetPointer(Tag tag) const;
    HostID GetID(Tag tag) const;
    // Every string value under this tag, in order (the items of a combo box).
    std::vector<std::string> GetStrings(Tag tag) const;

private:
    template <typename Value>
    void Add(Tag tag, Value&& value) {
        using V = std::decay_t<Value>;
        if constexpr (std::is_same_v<V, HostID>) {
            AddID(tag, value);
        } else if constexpr (std::is_convertible_v<V, const char*>) {
            AddString(tag, value);
        } else if constexpr (std::is_pointer_v<V> && std::is_function_v<std::remove_pointer_t<V>>) {
            AddPointer(tag, reinterpret_cast<const void*>(value));
        } else if constexpr (std::is_pointer_v<V>) {
            AddPointer(tag, value);
        } else if constexpr (std::is_floating_point_v<V>) {
            AddDouble(tag, static_cast<double>(value));
        } else {
            static_assert(std::is_integral_v<V>, "unsupported tag value type");
            AddNumber(tag, static_cast<long long>(value));
        }
    }
    // An integral value under an integer tag or a double tag.
    void AddNumber(Tag tag, long long value);

    void AppendPairs(Tag end) { CheckEnd(end); }
    template <typename Value, typename... Rest>
    void AppendPairs(Tag tag, Value&& value, Rest&&... rest) {
        Add(tag, std::forward<Value>(value));
        AppendPairs(std::forward<Rest>(rest)...);
    }
    static void CheckEnd(Tag end);

    std::vector<Entry> entries_;
};
