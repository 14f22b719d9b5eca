/* "Harbour": an example skin for Kestrava. To use it, copy this file to
   x/o.cjs in the folder that holds the program, e.g.
       mkdir -p build/x && cp resources/skins/o.cjs build/x/o.cjs
   A skin is a Qt style sheet in UTF-8. */

QGroupBox {
    border: 1px solid #7a9aa5;
    border-radius: 6px;
    margin-top: 8px;
    font-weight: bold;
}

QGroupBox::title {
    subcontrol-origin: margin;
    left: 10px;
    padding: 0 4px;
}

QPushButton {
    color: #10323a;
    border: 1px solid #5f8793;
    border-radius: 5px;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #dbe8ec);
}

QPushButton:hover {
    border-color: #d98e1c;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fffaf0, stop: 1 #fde4bb);
}

QPushButton:pressed {
    background: #f7c66f;
}

QPushButton:focus {
    border: 2px solid #268b96;
}

TextArea {
    border: 1px solid #7a9aa5;
    border-radius: 3px;
    selection-background-color: #268b96;
}
