#pragma once

class QComboBox;

// The box shows what the laser reports and takes nothing from the operator:
// clicks, the wheel and keys are ignored, and it keeps its look (a disabled
// box would read as stale). Its tooltip and context menu still work.
void makeReadOnly(QComboBox *box);
