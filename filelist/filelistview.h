#pragma once

#include <QStringList>
#include <QTreeWidget>

// The file list: one column of paths whose rows are the data. Positions count from 1.
//
// Appended entries wait in a batch until the window next handles its events, so that filling
// the list with many thousands of paths costs one insertion into the tree, not one each. The
// position API below is always exact, also while a batch waits; code that reaches the tree's
// own items directly (topLevelItem, itemAt, the model) sees appended entries only after that,
// or after flushAppends().
class FileListView : public QTreeWidget
{
    Q_OBJECT

public:
    explicit FileListView(QWidget* parent = nullptr);

    void append(const QString& path);
    int count() const;
    // The text of the entry at a position; throws tp::ApplicationError outside 1..count.
    QString entryText(int position) const;
    void setEntryText(int position, const QString& text);
    void removeAt(int position);
    void removeAll();
    // Moves the entry at one position so that it stands at another; the entries between
    // shift by one. A selected entry stays selected.
    void moveEntry(int from, int to);

    // The position of the selected entry, or 0 when none is selected.
    int selectedPosition() const;
    void selectAt(int position);
    // The position of the entry under a point of the viewport, or 0 over empty space.
    int positionAt(const QPoint& viewportPoint) const;
    void scrollToPosition(int position);

    // The model index of the entry at a position, or an invalid index outside 1..count.
    // Puts waiting entries into the tree first, so the index is valid for every position.
    QModelIndex indexAtPosition(int position);

    // Puts the entries that wait in the batch into the tree now.
    void flushAppends();

    static QString HintText();

private:
    QTreeWidgetItem* entryItem(int position);
    void checkPosition(int position) const;
    static QTreeWidgetItem* NewEntry(const QString& path);

    QStringList m_pending;
};
