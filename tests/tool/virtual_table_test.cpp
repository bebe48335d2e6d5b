// The tool's virtual table as the host sees it. A compiled host calls a tool's
// operations by slot, so the overrides must sit where the host's table has
// them, among the neighbours it declares, and every other slot must stay the
// host's own. Both compilers the tool is built with (g++ on Linux, mingw g++
// for Windows) lay tables out by the Itanium C++ ABI: the destructor takes two
// slots (complete and deleting), and a pointer to a virtual member function
// holds 1 + the slot's offset in bytes.
#include "support/plugin_fixture.h"

#include <cstdint>
#include <cstring>
#include <set>

namespace {

template <typename Member>
size_t SlotOf(Member member) {
    static_assert(sizeof(Member) == 2 * sizeof(uintptr_t), "Itanium pointer to member function");
    uintptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    EXPECT_EQ(words[0] & 1u, 1u) << "not a virtual member";
    return (words[0] - 1) / sizeof(void*);
}

using Entry = const void*;

const Entry* TableOf(const void* object) {
    const Entry* table;
    std::memcpy(&table, object, sizeof table);
    return table;
}

// The function an entry finally runs. On Windows an entry may name an import
// thunk of the module that holds the table (jmp *[rip + disp32]); follow it to
// the host library's function so that tables of two modules compare.
Entry Target(Entry entry) {
#if defined(_WIN32) && defined(__x86_64__)
    const auto* code = static_cast<const unsigned char*>(entry);
    if (code[0] == 0xFF && code[1] == 0x25) {
        int32_t displacement;
        std::memcpy(&displacement, code + 2, sizeof displacement);
        Entry target;
        std::memcpy(&target, code + 6 + displacement, sizeof target);
        return target;
    }
#endif
    return entry;
}

constexpr size_t DestructorSlots = 2;

class VirtualTable : public TavironPlugin {};

TEST_F(VirtualTable, HostDeclaresTheNeighboursInTheHostsOrder) {
    EXPECT_EQ(SlotOf(&Operator::lw_push), DestructorSlots) << "the destructor comes first";
    EXPECT_EQ(SlotOf(&Operator::Process), SlotOf(&Operator::PostProcess) + 1);
    EXPECT_EQ(SlotOf(&Operator::PreCalcPreProcess), SlotOf(&Operator::Process) + 1);
    EXPECT_EQ(SlotOf(&Operator::NotifyChanged), SlotOf(&Operator::ProcessGL) + 1);
    EXPECT_EQ(SlotOf(&Operator::RegionChanged), SlotOf(&Operator::NotifyChanged) + 1);
    EXPECT_EQ(SlotOf(&ThreadedOperator::ProcessChunk), SlotOf(&ThreadedOperator::ThreadMain) + 1);
    EXPECT_EQ(SlotOf(&ThreadedOperator::QuickProcessChunk), SlotOf(&ThreadedOperator::ProcessChunk) + 1);

    EXPECT_LT(SlotOf(&Operator::lw_push), SlotOf(&Operator::PostProcess));
    EXPECT_LT(SlotOf(&Operator::PreCalcPreProcess), SlotOf(&Operator::ProcessGL));
    EXPECT_LT(SlotOf(&Operator::RegionChanged), SlotOf(&ThreadedOperator::ThreadMain));
}

TEST_F(VirtualTable, ToolOverridesExactlyItsFourOperations) {
    const ThreadedOperator base(nullptr, ScriptVal{}, TagList());
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    const Entry* hostTable = TableOf(&base);
    const Entry* toolTable = TableOf(tool);

    const std::set<size_t> overridden = {0, 1,  // the destructor
                                         SlotOf(&Operator::Process), SlotOf(&Operator::NotifyChanged),
                                         SlotOf(&ThreadedOperator::ProcessChunk)};
    const size_t slots = SlotOf(&ThreadedOperator::QuickProcessChunk) + 1;
    for (size_t slot = 0; slot < slots; ++slot) {
        if (overridden.count(slot) != 0) {
            EXPECT_NE(Target(toolTable[slot]), Target(hostTable[slot])) << "slot " << slot << " not overridden";
        } else {
            EXPECT_EQ(Target(toolTable[slot]), Target(hostTable[slot])) << "slot " << slot << " is not the host's";
        }
    }
}

// The conversions themselves hand the object back (see the registration
// tests); here, that they are the record's whole table.
TEST_F(VirtualTable, ScriptRecordsTableHoldsTheTwoConversionsAlone) {
    EXPECT_EQ(SlotOf(&ScriptInfo::ToScript), 0u);
    EXPECT_EQ(SlotOf(&ScriptInfo::FromScript), 1u);
}

}  // namespace
