/* The window skin: a Qt style sheet. Light surfaces, one indigo accent, rounded corners. */

QWidget#MainWindow {
    background: #f3f5fa;
    color: #1f2433;
}

QToolTip {
    background: #1f2433;
    color: #ffffff;
    border: none;
    padding: 4px 6px;
}

/* The file list */
QTreeWidget#fileList {
    background: #ffffff;
    alternate-background-color: #f7f8fc;
    border: 1px solid #d5dbe8;
    border-radius: 6px;
    selection-background-color: #4f46e5;
    selection-color: #ffffff;
    outline: none;
}
QTreeWidget#fileList::item {
    padding: 2px 4px;
    border: none;
}
QTreeWidget#fileList::item:hover {
    background: #eceefe;
}
QTreeWidget#fileList::item:selected {
    background: #4f46e5;
    color: #ffffff;
}
QTreeWidget#fileList QHeaderView::section {
    background: #e9ecf5;
    color: #454c63;
    border: none;
    border-right: 1px solid #d5dbe8;
    border-bottom: 1px solid #d5dbe8;
    padding: 3px 6px;
}
QTreeWidget#fileList QHeaderView {
    background: #e9ecf5;
    border-top-left-radius: 6px;
    border-top-right-radius: 6px;
}

QScrollBar:vertical {
    background: transparent;
    width: 10px;
    margin: 2px;
}
QScrollBar:horizontal {
    background: transparent;
    height: 10px;
    margin: 2px;
}
QScrollBar::handle:vertical, QScrollBar::handle:horizontal {
    background: #c3c9d8;
    border-radius: 3px;
    min-height: 24px;
    min-width: 24px;
}
QScrollBar::handle:vertical:hover, QScrollBar::handle:horizontal:hover {
    background: #9aa2b8;
}
QScrollBar::add-line, QScrollBar::sub-line {
    width: 0px;
    height: 0px;
}
QScrollBar::add-page, QScrollBar::sub-page {
    background: transparent;
}

/* Buttons */
QPushButton {
    background: #ffffff;
    color: #2f3547;
    border: 1px solid #cfd5e3;
    border-radius: 6px;
    padding: 2px 10px;
}
QPushButton:hover {
    background: #eef0fe;
    border-color: #4f46e5;
    color: #3730a3;
}
QPushButton:pressed {
    background: #dfe2fd;
}
QPushButton:focus {
    border-color: #7c75ee;
}
QPushButton:disabled {
    background: #f0f2f7;
    color: #a3a9b9;
    border-color: #e0e4ed;
}
QPushButton#startButton {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #5b4bf0, stop:1 #12a89f);
    color: #ffffff;
    border: none;
}
QPushButton#startButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #4a3be0, stop:1 #0e968e);
}
QPushButton#startButton:pressed {
    background: #3f33c8;
}

/* Frames */
QGroupBox {
    background: #ffffff;
    border: 1px solid #d5dbe8;
    border-radius: 8px;
    margin-top: 8px;
    color: #4f46e5;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 10px;
    padding: 0px 4px;
    background: #ffffff;
}
QGroupBox#outputFolderFrame {
    background: #f7f8fc;
    border: 1px solid #e3e7f0;
    border-radius: 6px;
    margin-top: 0px;
}
QGroupBox#outputFolderFrame:disabled {
    background: #f0f2f7;
}

/* Inputs */
QComboBox, QLineEdit {
    background: #ffffff;
    color: #1f2433;
    border: 1px solid #cfd5e3;
    border-radius: 5px;
    padding: 1px 8px;
    selection-background-color: #4f46e5;
    selection-color: #ffffff;
}
QComboBox:hover, QLineEdit:hover {
    border-color: #9aa2b8;
}
QComboBox:focus, QLineEdit:focus {
    border-color: #4f46e5;
}
QLineEdit:disabled, QComboBox:disabled {
    background: #f0f2f7;
    color: #a3a9b9;
}
QComboBox QAbstractItemView {
    background: #ffffff;
    border: 1px solid #cfd5e3;
    selection-background-color: #4f46e5;
    selection-color: #ffffff;
    outline: none;
}

QRadioButton {
    background: transparent;
    color: #2f3547;
    spacing: 6px;
}
QRadioButton:disabled {
    color: #a3a9b9;
}
QRadioButton::indicator {
    width: 12px;
    height: 12px;
    border-radius: 7px;
    border: 1px solid #9aa2b8;
    background: #ffffff;
}
QRadioButton::indicator:hover {
    border-color: #4f46e5;
}
QRadioButton::indicator:checked {
    border: 4px solid #4f46e5;
    width: 6px;
    height: 6px;
}

/* Progress */
QProgressBar {
    background: #e6e9f2;
    border: none;
    border-radius: 6px;
    color: #1f2433;
    text-align: center;
}
QProgressBar::chunk {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #8b84f5, stop:1 #5fd3c9);
    border-radius: 6px;
}
