#include "app/form1.h"
#include "filelist/listview1.h"

void Form1::PushButton4_Click() {}

void Form1::ListView1_KeyDown(int, Qt::KeyboardModifiers) {}

void Form1::ListView1_DblClick() {}

void Form1::ListView1_MouseDown() {}

void Form1::ListView1_ItemClick(QTreeWidgetItem*) {}

void Form1::ListView1_MouseMove(const QPoint&) {}

void Form1::ListView1_MouseUp() {}
