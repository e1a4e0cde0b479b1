#include "duckdb/loaded_lists.h"

#include <utility>

#include "rules/compiled_tables.h"

namespace vexlo::duckdb {

const RuleTables* LoadedLists::find(std::string_view checksum) const {
    if (checksum == compiled_list.checksum) return &compiled_tables();
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = lists_.find(checksum);
    return found == lists_.end() ? nullptr : &found->second->tables.tables();
}

const list_file::LoadedList& LoadedLists::keep(std::unique_ptr<list_file::LoadedList> list) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto [place, added] = lists_.try_emplace(list->checksum, nullptr);
    if (added) place->second = std::move(list);
    return *place->second;
}

}  // namespace vexlo::duckdb
