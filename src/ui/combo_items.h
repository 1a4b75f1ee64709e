#pragma once
// Filling the selection-only drop-down lists of the dialogs.
#include <QComboBox>
#include <string>
#include <vector>

// A selection-only list with items and the prompt shown while nothing is selected.
QComboBox *NewChoiceList(const std::vector<std::string> &items, const QString &prompt = {},
                         QWidget *parent = nullptr);

// Selects position, or nothing when position is outside the list.
void SelectPosition(QComboBox *list, int position);

// The selected item's text (empty when nothing is selected).
std::string SelectedText(const QComboBox *list);
