#pragma once

class QComboBox;

// Makes an editable drop-down list change its setting only through a choice
// of one of its own items, once per user action: typed text never becomes an
// item; Enter on text that names an item chooses that item (one `activated`),
// Enter on anything else, Escape and leaving the box put the chosen item's
// text back; the mouse wheel passing over the box changes nothing.
void MakeSelectionOnly(QComboBox* list);
