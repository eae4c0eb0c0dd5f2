#pragma once
// Whether a list cell shows its text whole or elided, measured the way the
// style lays out an item view cell: the text room is the cell less the focus
// frame margin and one pixel on each side.

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QString>
#include <QStyle>

namespace corvessa::testsupport {

inline bool CellShowsWhole(const QAbstractItemView& view, int row, int column, const QString& text) {
  const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
  const int room = view.visualRect(view.model()->index(row, column)).width() - 2 * margin;
  return QFontMetrics(view.font()).elidedText(text, Qt::ElideRight, room) == text;
}

}  // namespace corvessa::testsupport
