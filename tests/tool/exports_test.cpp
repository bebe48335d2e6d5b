// The module exports nothing: the registration record is the host's only way
// in, so no symbol of the tool can clash with another module's.
#include "export_table.h"
#include "support/plugin_fixture.h"

#include <algorithm>

namespace {

TEST(Exports, ModuleExportsNoSymbol) {
    const std::vector<std::string> exported = ExportedSymbols(TavironModulePath());
    EXPECT_TRUE(exported.empty()) << exported.size() << " exported, the first "
                                  << exported.front();
}

TEST(Exports, HostLibraryExportsItsRegistry) {
    // The reader does see exports where there are some.
    const std::string host = ModulePathOf(&ClassRegistry);
    ASSERT_FALSE(host.empty());
    const std::vector<std::string> exported = ExportedSymbols(host);
    EXPECT_NE(std::find(exported.begin(), exported.end(), "ClassRegistry"), exported.end());
}

}  // namespace
