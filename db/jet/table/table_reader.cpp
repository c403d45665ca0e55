// Turning scanned rows into values.
#include "db/jet/table/table_reader.h"

#include "db/jet/table/row_codec.h"

namespace jet {

TableReader::TableReader(Pager& pager, const CodePage& codePage, std::string name,
                         std::shared_ptr<const TableDef> def, std::vector<ColumnDecoder> decoders,
                         std::map<std::uint16_t, ComplexValueMap> complex)
    : pager_(pager),
      name_(std::move(name)),
      def_(std::move(def)),
      decoders_(std::move(decoders)),
      complex_(std::move(complex)),
      scan_(pager, *def_),
      values_(pager, codePage),
      hasVar_(def_->varColumns > 0) {
    for (auto& d : decoders_) {
        auto it = complex_.find(d.def->number);
        if (it != complex_.end()) d.complexValues = &it->second;
    }
}

std::uint64_t TableReader::rowCount(std::uint64_t limit) {
    // A count made with a smaller limit than this one may have stopped early.
    if (!count_ || (countLimit_ < limit && *count_ == countLimit_)) {
        TableScan counter(pager_, *def_);
        count_ = counter.countRows(limit);
        countLimit_ = limit;
    }
    return *count_ < limit ? *count_ : limit;
}

bool TableReader::next(std::vector<db::Value>& row) {
    if (!scan_.next()) return false;
    const RowView view(scan_.row(), pager_.format(), hasVar_);
    row.resize(decoders_.size());
    for (std::size_t i = 0; i < decoders_.size(); ++i)
        values_.decodeInto(decoders_[i], view, row[i]);
    return true;
}

}  // namespace jet
