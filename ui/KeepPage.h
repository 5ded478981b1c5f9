#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tidyfold::ui {

// The Options dialog's "Keep" tab: the patterns of files and folders that no
// pass touches, one a line, added and removed one at a time.
class KeepPage : public QWidget {
    Q_OBJECT
public:
    explicit KeepPage(QWidget* parent = nullptr);

    void SetPatterns(const std::vector<std::string>& patterns);
    std::vector<std::string> Patterns() const;

signals:
    // The user added or removed a pattern.
    void edited();

private:
    void cmdKeepAdd_Click();
    void cmdKeepRemove_Click();

    QLabel* lblKeep = nullptr;
    QListWidget* lstKeep = nullptr;
    QLineEdit* txtKeepPattern = nullptr;
    QPushButton* cmdKeepAdd = nullptr;
    QPushButton* cmdKeepRemove = nullptr;
    QLabel* lblKeepHint = nullptr;
};

}  // namespace tidyfold::ui
