// The state of one report-style list view: columns, rows of cell texts, row
// states and the redraw requests it received. Plain C++; the list-view
// messages are decoded into these calls by platform/list_view_messages.h.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/case_fold_1250.h"

namespace standin {

class ListViewModel {
 public:
  // Row state bits with the values of LVIS_FOCUSED and LVIS_SELECTED.
  static constexpr unsigned kFocused = 0x1;
  static constexpr unsigned kSelected = 0x2;

  // A sorted list (LVS_SORTASCENDING) places new rows by their text instead
  // of the requested index; a single-selection list (LVS_SINGLESEL) keeps at
  // most one row selected.
  ListViewModel(bool singleSelection, bool sortAscending);

  // Sets the extended style bits selected by mask (0 selects all of them).
  // Returns the previous extended style.
  unsigned setExtendedStyle(unsigned mask, unsigned style);
  unsigned extendedStyle() const { return extendedStyle_; }

  // Inserts a column at index, clamped to the end. Cells of later columns
  // move right with it, except that column 0's cells always stay the rows'
  // item texts. Returns the new column's index, or -1 for a negative index.
  int insertColumn(int index, int width, std::string text);
  int columnCount() const { return static_cast<int>(columns_.size()); }
  // Null for a column that does not exist.
  const std::string* columnText(int column) const;
  // -1 for a column that does not exist.
  int columnWidth(int column) const;

  // Inserts a row at index, clamped to the end (or at its sorted place in a
  // sorted list), with the item text and the state bits selected by
  // stateMask. Returns the row's index, or -1 for a negative index.
  int insertRow(int index, std::string text, unsigned state, unsigned stateMask);
  // Removes a row; the rows after it move up by one. False if none.
  bool deleteRow(int row);
  int rowCount() const { return static_cast<int>(rows_.size()); }
  bool isRow(int row) const { return row >= 0 && row < rowCount(); }

  // Sets a cell's text. Column 0 (the item text) always exists; other
  // columns must have been inserted. False for a missing row or column.
  bool setCellText(int row, int column, std::string text);
  // A cell's text ("" if never set), or null for a missing row or column.
  const std::string* cellText(int row, int column) const;

  // A row's state bits (0 for a missing row).
  unsigned rowState(int row) const;
  // Sets the bits selected by mask on one row, or on every row when row is
  // -1. Setting the focus (or, in a single-selection list, the selection)
  // takes it from every other row. False for a missing row.
  bool setRowState(int row, unsigned state, unsigned mask);

  // Records a redraw request; the range is kept as given, even outside the
  // rows, because comctl32 accepts any range.
  void recordRedraw(int first, int last);
  int redrawCount() const { return redrawCount_; }
  // The range of the last redraw request into `first` and `last`, each
  // where not null; false, leaving them alone, when none was requested.
  bool lastRedraw(int* first, int* last) const;

  enum class Match { kWholeText, kPrefix };
  // Finds the first row, in search order, whose item text matches text
  // without regard to case (foldCase1250). The search starts at row 0 when
  // start is -1 and just after row `start` otherwise; it stops at the last
  // row unless wrap is set, in which case it goes on from row 0 up to and
  // including `start`. Returns the row's index or -1.
  int find(int start, std::string_view text, Match match, bool wrap) const;

 private:
  struct Column {
    int width;
    std::string text;
  };
  struct Row {
    std::vector<std::string> cells;  // index = column; may be shorter
    unsigned state;
  };

  void takeStateFromOthers(int keep, unsigned bits);

  bool singleSelection_;
  bool sortAscending_;
  unsigned extendedStyle_ = 0;
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  int redrawCount_ = 0;
  int redrawFirst_ = 0;
  int redrawLast_ = 0;
};

// Definitions, inline: the model is compiled into what models a list view
// (the stand-in's library, the emulator's user32), and into nothing else.

inline ListViewModel::ListViewModel(bool singleSelection, bool sortAscending)
    : singleSelection_(singleSelection), sortAscending_(sortAscending) {}

inline unsigned ListViewModel::setExtendedStyle(unsigned mask, unsigned style) {
  const unsigned previous = extendedStyle_;
  if (mask == 0) {
    mask = ~0u;
  }
  extendedStyle_ = (extendedStyle_ & ~mask) | (style & mask);
  return previous;
}

inline int ListViewModel::insertColumn(int index, int width, std::string text) {
  if (index < 0) {
    return -1;
  }
  index = std::min(index, columnCount());
  columns_.insert(columns_.begin() + index, Column{width, std::move(text)});
  if (index > 0) {
    for (Row& row : rows_) {
      if (static_cast<int>(row.cells.size()) > index) {
        row.cells.insert(row.cells.begin() + index, std::string());
      }
    }
  }
  return index;
}

inline const std::string* ListViewModel::columnText(int column) const {
  if (column < 0 || column >= columnCount()) {
    return nullptr;
  }
  return &columns_[static_cast<size_t>(column)].text;
}

inline int ListViewModel::columnWidth(int column) const {
  if (column < 0 || column >= columnCount()) {
    return -1;
  }
  return columns_[static_cast<size_t>(column)].width;
}

inline int ListViewModel::insertRow(int index, std::string text, unsigned state,
                                    unsigned stateMask) {
  if (index < 0) {
    return -1;
  }
  if (sortAscending_) {
    // comctl32 ignores the requested index of a sorted list and puts the row
    // after every row whose text does not sort after it.
    const auto place =
        std::upper_bound(rows_.begin(), rows_.end(), text, [](const std::string& t, const Row& r) {
          return detail::lessIgnoringCase1250(t, r.cells[0]);
        });
    index = static_cast<int>(place - rows_.begin());
  } else {
    index = std::min(index, rowCount());
  }
  Row row;
  row.cells.push_back(std::move(text));
  row.state = 0;
  rows_.insert(rows_.begin() + index, std::move(row));
  setRowState(index, state, stateMask);
  return index;
}

inline bool ListViewModel::deleteRow(int row) {
  if (!isRow(row)) {
    return false;
  }
  rows_.erase(rows_.begin() + row);
  return true;
}

inline bool ListViewModel::setCellText(int row, int column, std::string text) {
  if (!isRow(row) || column < 0 || (column > 0 && column >= columnCount())) {
    return false;
  }
  std::vector<std::string>& cells = rows_[static_cast<size_t>(row)].cells;
  if (static_cast<int>(cells.size()) <= column) {
    cells.resize(static_cast<size_t>(column) + 1);
  }
  cells[static_cast<size_t>(column)] = std::move(text);
  return true;
}

inline const std::string* ListViewModel::cellText(int row, int column) const {
  static const std::string kEmpty;
  if (!isRow(row) || column < 0 || (column > 0 && column >= columnCount())) {
    return nullptr;
  }
  const std::vector<std::string>& cells = rows_[static_cast<size_t>(row)].cells;
  return column < static_cast<int>(cells.size()) ? &cells[static_cast<size_t>(column)] : &kEmpty;
}

inline unsigned ListViewModel::rowState(int row) const {
  return isRow(row) ? rows_[static_cast<size_t>(row)].state : 0;
}

inline bool ListViewModel::setRowState(int row, unsigned state, unsigned mask) {
  if (row == -1) {
    for (int i = 0; i < rowCount(); ++i) {
      setRowState(i, state, mask);
    }
    return true;
  }
  if (!isRow(row)) {
    return false;
  }
  unsigned& bits = rows_[static_cast<size_t>(row)].state;
  bits = (bits & ~mask) | (state & mask);
  unsigned exclusive = bits & mask & kFocused;
  if (singleSelection_) {
    exclusive |= bits & mask & kSelected;
  }
  if (exclusive != 0) {
    takeStateFromOthers(row, exclusive);
  }
  return true;
}

inline void ListViewModel::takeStateFromOthers(int keep, unsigned bits) {
  for (int i = 0; i < rowCount(); ++i) {
    if (i != keep) {
      rows_[static_cast<size_t>(i)].state &= ~bits;
    }
  }
}

inline void ListViewModel::recordRedraw(int first, int last) {
  ++redrawCount_;
  redrawFirst_ = first;
  redrawLast_ = last;
}

inline bool ListViewModel::lastRedraw(int* first, int* last) const {
  if (redrawCount_ == 0) {
    return false;
  }
  if (first != nullptr) {
    *first = redrawFirst_;
  }
  if (last != nullptr) {
    *last = redrawLast_;
  }
  return true;
}

inline int ListViewModel::find(int start, std::string_view text, Match match, bool wrap) const {
  const int count = rowCount();
  if (start < -1 || count == 0) {
    return -1;
  }
  int first = start >= count - 1 ? count : start + 1;
  if (first >= count) {
    if (!wrap) {
      return -1;
    }
    first = 0;
  }
  const int steps = wrap ? count : count - first;
  for (int step = 0; step < steps; ++step) {
    const int row = (first + step) % count;
    std::string_view item = rows_[static_cast<size_t>(row)].cells[0];
    if (match == Match::kPrefix) {
      item = item.substr(0, text.size());
    }
    if (equalIgnoringCase1250(item, text)) {
      return row;
    }
  }
  return -1;
}

}  // namespace standin
