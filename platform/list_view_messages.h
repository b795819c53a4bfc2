// The list-view messages the plug-in's editor sends, decoded once for every
// place that models a list view: the Linux stand-in, where the structures at
// lParam lie in its own memory, and the emulator's user32, where they lie in
// the emulated DLL's memory in their 32-bit layouts. Each brings a reader of
// its memory; which fields a message uses, what it does to the model and
// what it answers are decided here.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/list_view_model.h"
#include "platform/win32_standin.h"

namespace standin {

// The fields of LVITEMA, LVCOLUMNA and LVFINDINFOA that the messages use, as
// a reader finds them. `Word` is the reader's pointer-sized integer.
template <typename Word>
struct ListViewItemFields {
  UINT mask;
  int item;
  int subItem;
  UINT state;
  UINT stateMask;
  Word text;  // pszText
  int textMax;
};

template <typename Word>
struct ListViewColumnFields {
  UINT mask;
  int width;
  Word text;  // pszText
};

template <typename Word>
struct ListViewFindFields {
  UINT flags;
  Word text;  // psz
};

namespace detail {

// A WPARAM or LPARAM as the int it carries: (WPARAM)-1 reads as -1, and a
// value beyond int on 64-bit as "past the end", never as a wrapped small
// index.
template <typename Word>
int toInt(Word value) {
  const auto wide = static_cast<long long>(static_cast<std::make_signed_t<Word>>(value));
  return static_cast<int>(std::clamp<long long>(wide, INT_MIN, INT_MAX));
}

// A structure's text: empty for none, and for LPSTR_TEXTCALLBACKA, which
// asks the list's owner for the text; there are no owner notifications.
template <typename Memory>
std::string textOrEmpty(const Memory& memory, typename Memory::Word at) {
  using Word = typename Memory::Word;
  if (at == 0 || at == static_cast<Word>(-1)) {
    return std::string();
  }
  return memory.text(at);
}

}  // namespace detail

// Applies the list-view message `message` to `list`, reading what it
// carries at lParam through `memory`, which offers:
//   Word                               its pointer-sized integer: WPARAM,
//                                      LPARAM and addresses
//   item(at), column(at), findInfo(at) the fields above of the structure at
//                                      a non-null address
//   text(at)                           the NUL-terminated text there
//   writeText(at, text)                `text` and a NUL written there
// Answers the message's LRESULT, an index or count sign-extended and a set
// of bits zero-extended, for the caller to narrow to its own LRESULT.
template <typename Memory>
int64_t applyListViewMessage(ListViewModel& list, const Memory& memory, UINT message,
                             typename Memory::Word wParam, typename Memory::Word lParam) {
  const int index = detail::toInt(wParam);
  switch (message) {
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
      return list.setExtendedStyle(static_cast<DWORD>(wParam), static_cast<DWORD>(lParam));

    case LVM_INSERTCOLUMNA: {
      if (lParam == 0) {
        return -1;
      }
      const auto column = memory.column(lParam);
      const int width = (column.mask & LVCF_WIDTH) != 0 ? column.width : 0;
      std::string text =
          (column.mask & LVCF_TEXT) != 0 ? detail::textOrEmpty(memory, column.text) : std::string();
      return list.insertColumn(index, width, std::move(text));
    }

    case LVM_INSERTITEMA: {
      if (lParam == 0) {
        return -1;
      }
      const auto item = memory.item(lParam);
      // A row is inserted through its item; sub-items come afterwards.
      if (item.subItem != 0) {
        return -1;
      }
      std::string text =
          (item.mask & LVIF_TEXT) != 0 ? detail::textOrEmpty(memory, item.text) : std::string();
      const bool withState = (item.mask & LVIF_STATE) != 0;
      return list.insertRow(item.item, std::move(text), withState ? item.state : 0,
                            withState ? item.stateMask : 0);
    }

    case LVM_SETITEMTEXTA: {
      if (lParam == 0) {
        return FALSE;
      }
      const auto item = memory.item(lParam);
      return list.setCellText(index, item.subItem, detail::textOrEmpty(memory, item.text)) ? TRUE
                                                                                           : FALSE;
    }

    case LVM_GETITEMTEXTA: {
      if (lParam == 0) {
        return 0;
      }
      const auto item = memory.item(lParam);
      const std::string* text = list.cellText(index, item.subItem);
      if (text == nullptr || item.text == 0 || item.textMax <= 0) {
        return 0;
      }
      // comctl32 answers the number of characters it copied, not the full
      // length of the text.
      const size_t copied = std::min(text->size(), static_cast<size_t>(item.textMax) - 1);
      memory.writeText(item.text, text->substr(0, copied));
      return static_cast<int64_t>(copied);
    }

    case LVM_DELETEITEM:
      return list.deleteRow(index) ? TRUE : FALSE;

    case LVM_GETITEMCOUNT:
      return list.rowCount();

    case LVM_GETITEMSTATE:
      return list.rowState(index) & static_cast<UINT>(lParam);

    case LVM_SETITEMSTATE: {
      if (lParam == 0) {
        return FALSE;
      }
      const auto item = memory.item(lParam);
      return list.setRowState(index, item.state, item.stateMask) ? TRUE : FALSE;
    }

    case LVM_REDRAWITEMS:
      list.recordRedraw(index, detail::toInt(lParam));
      return TRUE;

    case LVM_FINDITEMA: {
      if (lParam == 0) {
        return -1;
      }
      const auto info = memory.findInfo(lParam);
      if (info.text == 0 || (info.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0) {
        return -1;
      }
      const auto match = (info.flags & LVFI_PARTIAL) != 0 ? ListViewModel::Match::kPrefix
                                                          : ListViewModel::Match::kWholeText;
      return list.find(index, memory.text(info.text), match, (info.flags & LVFI_WRAP) != 0);
    }

    default:
      return 0;
  }
}

}  // namespace standin
