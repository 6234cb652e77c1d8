#pragma once

#include <QTreeWidget>

// The file list: one column of paths whose rows are the data. Positions count from 1.
class ListView1 : public QTreeWidget
{
    Q_OBJECT

public:
    explicit ListView1(QWidget* parent = nullptr);

    void append(const QString& path);
    int count() const;
    // The text of the entry at a position; throws tp::ApplicationError outside 1..count.
    QString entryText(int position) const;
    void setEntryText(int position, const QString& text);
    void removeAt(int position);
    void removeAll();

    // The position of the selected entry, or 0 when none is selected.
    int selectedPosition() const;
    void selectAt(int position);
    // The position of the entry under a point of the viewport, or 0 over empty space.
    int positionAt(const QPoint& viewportPoint) const;
    void scrollToPosition(int position);

    static QString HintText();

private:
    QTreeWidgetItem* itemAt(int position) const;
};
