// The file list's rows and their path index (see FileRows.h).
#include "control/FileRows.h"

#include "control/SizeText.h"

#include <utility>

namespace tovalo {

std::wstring FileRow::Text(Column column) const {
    switch (column) {
    case Column::kName:
        return name;
    case Column::kType:
        return type;
    case Column::kSizeText: {
        const std::string text = SizeText(size);  // digits, a point, a blank and Latin letters
        return std::wstring(text.begin(), text.end());
    }
    case Column::kPath:
        return path;
    case Column::kSize:
        return std::to_wstring(size);
    }
    return {};
}

void FileRows::SetLook(std::size_t row, FileRow::Look look) {
    FileRow& kept = rows_[rows_.size() - 1 - row];
    kept.type = std::move(look.type);
    kept.image = look.image;
}

void FileRows::AddAtTop(FileRow row) {
    rows_.push_back(std::move(row));
    paths_.insert(rows_.back().path);
}

void FileRows::Remove(const std::vector<std::size_t>& rows) {
    if (rows.empty()) return;
    // One pass that keeps the rest in order; the index is made anew, as the kept entries moved.
    const std::size_t count = rows_.size();
    std::vector<bool> gone(count, false);
    for (std::size_t row : rows) {
        if (row < count) gone[count - 1 - row] = true;
    }
    std::size_t kept = 0;
    for (std::size_t at = 0; at < count; ++at) {
        if (gone[at]) continue;
        if (kept != at) rows_[kept] = std::move(rows_[at]);
        ++kept;
    }
    rows_.resize(kept);
    paths_.clear();
    for (const FileRow& row : rows_) paths_.insert(row.path);
}

void FileRows::Clear() {
    paths_.clear();
    rows_.clear();
}

}  // namespace tovalo
