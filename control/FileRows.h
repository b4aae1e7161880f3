// The file list's rows as the control keeps them: one entry for each row of its list view, in the
// view's order, with an index of their paths so that the duplicate rule costs the same for the
// ten-thousandth file as for the first. The list view holds no rows of its own: it asks for the
// texts and images of the rows it shows, and these entries answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tovalo {

// The list's five columns.
enum class Column : int { kName = 0, kType = 1, kSizeText = 2, kPath = 3, kSize = 4 };
inline constexpr int kColumnCount = 5;

// One row: a local file, or a server entry (a file the page says is already on the server, which
// is counted and shown but never sent). What a row stands for is fixed when it is listed; its look
// (type text and image) changes with the icon set.
struct FileRow {
    enum class Kind { kLocal, kServerEntry };
    struct Look {
        std::wstring type;  // the type column
        int image = 0;
    };

    std::wstring path;  // a local file's full path; a server entry's path column (kServerPrefix)
    std::wstring name;  // the name column
    std::wstring type;
    std::uint32_t size = 0;
    int image = 0;
    Kind kind = Kind::kLocal;

    bool IsServerEntry() const { return kind == Kind::kServerEntry; }
    // What the column shows: name, type, size text, path, size in bytes ("%u").
    std::wstring Text(Column column) const;
};

class FileRows {
public:
    std::size_t Count() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }

    // Row 0 is the top of the view, where the newest row goes. A row changes only its look once it
    // is listed: its path is what the index holds.
    const FileRow& At(std::size_t row) const { return rows_[rows_.size() - 1 - row]; }
    void SetLook(std::size_t row, FileRow::Look look);

    void AddAtTop(FileRow row);

    // Whether some row has exactly this path (Compatibility: case counts; pages list two spellings
    // of one path as two files).
    bool Lists(std::wstring_view path) const { return paths_.count(path) != 0; }

    // Removes the rows at these view indices (ascending, each once, all present).
    void Remove(const std::vector<std::size_t>& rows);

    void Clear();

private:
    // Oldest first; a deque, because its entries stay where they are as rows are added, so the
    // index may point into them.
    std::deque<FileRow> rows_;
    std::unordered_multiset<std::wstring_view> paths_;
};

}  // namespace tovalo
