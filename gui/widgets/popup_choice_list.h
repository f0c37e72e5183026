#pragma once

class QComboBox;

// Makes a drop-down list change only by a choice from its opened list: the
// mouse wheel passing over it, the arrow keys and typed letters on the
// closed box change nothing. For lists whose change costs something (the
// video format restarts the camera). F4, Alt+Up/Down and Space still open it.
void MakePopupChoiceOnly(QComboBox* list);
