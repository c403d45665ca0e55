// The browser's progress bar: a bar from 0 to 100 that shows a text of the program's choosing
// over its value, exactly as given (QProgressBar's own text would read "%p", "%v" and "%m" in
// a table name as placeholders).
#pragma once

#include <QProgressBar>
#include <QString>

namespace browser {

class TextProgressBar : public QProgressBar {
    Q_OBJECT

  public:
    explicit TextProgressBar(QWidget* parent = nullptr) : QProgressBar(parent) {}

    void setCaption(const QString& caption) {
        caption_ = caption;
        update();
    }
    const QString& caption() const { return caption_; }

    QString text() const override { return caption_; }

  private:
    QString caption_;
};

}  // namespace browser
