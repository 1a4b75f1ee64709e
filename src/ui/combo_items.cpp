#include "ui/combo_items.h"

QComboBox *NewChoiceList(const std::vector<std::string> &items, const QString &prompt,
                         QWidget *parent) {
  auto *list = new QComboBox(parent);
  for (const std::string &item : items)
    list->addItem(QString::fromStdString(item));
  if (!prompt.isEmpty())
    list->setPlaceholderText(prompt);
  list->setCurrentIndex(-1);
  return list;
}

void SelectPosition(QComboBox *list, int position) {
  list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

std::string SelectedText(const QComboBox *list) {
  return list->currentIndex() < 0 ? std::string() : list->currentText().toStdString();
}
