#include "ui/KeepPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Named.h"
#include "ui/Text.h"

namespace tidyfold::ui {

KeepPage::KeepPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picOptions_3"));
    setAccessibleName(tr("Keep"));
    lblKeep = Named(new QLabel(tr("Never touch these files and folders (one pattern a line):")), "lblKeep");
    lblKeep->setWordWrap(true);
    lstKeep = Named(new QListWidget, "lstKeep");
    lstKeep->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstKeep->setAccessibleName(tr("Patterns of files and folders to keep"));
    lblKeep->setBuddy(lstKeep);
    txtKeepPattern = Named(new QLineEdit, "txtKeepPattern");
    txtKeepPattern->setAccessibleName(tr("New pattern"));
    cmdKeepAdd = Named(new QPushButton(tr("Add")), "cmdKeepAdd");
    cmdKeepRemove = Named(new QPushButton(tr("Remove")), "cmdKeepRemove");
    for (QPushButton* button : {cmdKeepAdd, cmdKeepRemove})
        button->setAutoDefault(false);
    lblKeepHint = Named(new QLabel(tr("*.desktop keeps launchers, .* hidden files and folders, Projects/ every "
                                      "folder named Projects with all it holds, /Notes/*.txt the text files of "
                                      "the Notes folder on the Desktop. A line starting with ! takes back what a line above it kept; # "
                                      "starts a comment.")),
                        "lblKeepHint");
    lblKeepHint->setWordWrap(true);

    auto* addRow = new QHBoxLayout;
    addRow->addWidget(txtKeepPattern);
    addRow->addWidget(cmdKeepAdd);
    addRow->addWidget(cmdKeepRemove);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblKeep);
    layout->addWidget(lstKeep);
    layout->addLayout(addRow);
    layout->addWidget(lblKeepHint);

    connect(cmdKeepAdd, &QPushButton::clicked, this, &KeepPage::cmdKeepAdd_Click);
    connect(txtKeepPattern, &QLineEdit::returnPressed, this, &KeepPage::cmdKeepAdd_Click);
    connect(cmdKeepRemove, &QPushButton::clicked, this, &KeepPage::cmdKeepRemove_Click);
}

namespace {

// Each line keeps the pattern's own bytes beside the text it shows: a name
// that is not UTF-8 shows with replacement characters, and must not be saved
// as them.
void AddPattern(QListWidget* list, const std::string& pattern)
{
    auto* item = new QListWidgetItem(PathText(pattern), list);
    item->setData(Qt::UserRole, QByteArray::fromStdString(pattern));
}

}  // namespace

void KeepPage::SetPatterns(const std::vector<std::string>& patterns)
{
    lstKeep->clear();
    for (const std::string& pattern : patterns)
        AddPattern(lstKeep, pattern);
}

std::vector<std::string> KeepPage::Patterns() const
{
    std::vector<std::string> patterns;
    for (int i = 0; i < lstKeep->count(); ++i)
        patterns.push_back(lstKeep->item(i)->data(Qt::UserRole).toByteArray().toStdString());
    return patterns;
}

void KeepPage::cmdKeepAdd_Click()
{
    // Taken as typed, as a line of an ignore file: blanks at the start are
    // part of the name, blanks at the end count only when escaped ("\ ").
    // A line already there is added again, since the order of lines decides.
    const QString pattern = txtKeepPattern->text();
    txtKeepPattern->clear();
    if (pattern.isEmpty())
        return;
    AddPattern(lstKeep, PathBytes(pattern));
    emit edited();
}

void KeepPage::cmdKeepRemove_Click()
{
    const QList<QListWidgetItem*> selected = lstKeep->selectedItems();
    if (selected.isEmpty())
        return;
    for (QListWidgetItem* item : selected)
        delete item;
    emit edited();
}

}  // namespace tidyfold::ui
