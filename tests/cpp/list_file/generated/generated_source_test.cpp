// The source that compile_rule_tables writes, compiled: it must hold the
// very tables that the builder makes from the same list (escapes.dat beside
// this file, compiled in by tests/cpp/CMakeLists.txt).
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "list_file/build_tables.h"
#include "rules/compiled_tables.h"
#include "rules/label_key.h"
#include "../list_text.h"

namespace vexlo::list_file {
namespace {

TEST(GeneratedSource, HoldsTheBuiltTables) {
    const std::optional<std::string> text = testing::read_file(VEXLO_ESCAPES_LIST);
    ASSERT_TRUE(text) << VEXLO_ESCAPES_LIST;
    const BuiltTables built = compile_list(*text);
    ASSERT_TRUE(built.errors.empty());
    const list_file::ListTables& want = built.tables;
    const RuleTrie got = compiled_rules();

    EXPECT_EQ(got.label_pool, want.label_pool());
    ASSERT_EQ(got.nodes.size(), want.nodes.size());
    for (std::size_t n = 0; n < want.nodes.size(); ++n) {
        EXPECT_EQ(got.nodes[n].first_edge, want.nodes[n].first_edge);
        EXPECT_EQ(got.nodes[n].edge_count, want.nodes[n].edge_count);
        EXPECT_EQ(got.nodes[n].flags, want.nodes[n].flags);
    }
    ASSERT_EQ(got.edges.size(), want.edges.size());
    for (std::size_t e = 0; e < want.edges.size(); ++e) {
        EXPECT_EQ(got.edges[e].label_start, want.edges[e].label_start);
        EXPECT_EQ(got.edges[e].label_end, want.edges[e].label_end);
        EXPECT_EQ(got.edges[e].child, want.edges[e].child);
        const TrieEdge& edge = want.edges[e];
        EXPECT_EQ(compiled_tables().keys[e],
                  label_key(want.label_pool().substr(edge.label_start, edge.label_end - edge.label_start)));
    }
    EXPECT_EQ(std::string_view(LIST_CHECKSUM), want.checksum);
    EXPECT_EQ(kCompiledRootEdgeCount, 2u);  // de and fr
}

}  // namespace
}  // namespace vexlo::list_file
