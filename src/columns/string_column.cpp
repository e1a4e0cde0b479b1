#include "columns/string_column.h"

namespace vexlo {

StringColumn::StringColumn(std::span<const std::string_view> texts,
                           std::span<const std::uint8_t> nulls)
    : layout_(Layout::kTexts),
      length_(static_cast<std::int64_t>(texts.size())),
      texts_(texts.data()),
      byte_nulls_(nulls.empty() ? nullptr : nulls.data()) {
    for (const std::string_view text : texts) text_bytes_ += text.size();
}

}  // namespace vexlo
