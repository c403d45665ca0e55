// The skin component and ApplySkin: an optional Qt style sheet beside the program that gives the
// connection window its look.
//
// The skin file "x/o.cjs" in the program's folder is a Qt style sheet (UTF-8). SkinFramework
// holds one loaded sheet and three options, and applies them to a window:
//   - applyOptions(), bit kApplyToControls: the sheet reaches the window and every control on
//     it (and the dialogs the window owns); without the bit, applyWindow() leaves the window as
//     it is;
//   - hoverEffects(): push buttons track the mouse, so ":hover" rules of the sheet take effect;
//   - styledBackground(): the window paints its own background from the sheet.
#pragma once

#include <QString>
#include <QWidget>

namespace ui {

class SkinFramework {
  public:
    static constexpr int kApplyToControls = 1;

    // Reads the sheet from `path`. Throws std::runtime_error, naming the file and the cause,
    // when the file cannot be read, is not UTF-8 text, or is not a style sheet Qt can parse;
    // the previously loaded sheet then stays.
    void loadSkin(const QString& path);
    const QString& styleSheet() const { return sheet_; }
    bool loaded() const { return loaded_; }

    int applyOptions() const { return applyOptions_; }
    void setApplyOptions(int options) { applyOptions_ = options; }
    bool hoverEffects() const { return hoverEffects_; }
    void setHoverEffects(bool on) { hoverEffects_ = on; }
    bool styledBackground() const { return styledBackground_; }
    void setStyledBackground(bool on) { styledBackground_ = on; }

    // Applies the loaded sheet and the options to `window`. Does nothing before loadSkin().
    void applyWindow(QWidget* window) const;

  private:
    QString sheet_;
    bool loaded_ = false;
    int applyOptions_ = 0;
    bool hoverEffects_ = false;
    bool styledBackground_ = false;
};

// The skin file's path: programFile("x/o.cjs").
QString skinFilePath();

// When the skin file exists: the face colour on the window and its frames, labels, check boxes
// and option buttons; the file loaded into `skin`; the apply bit set and both boolean options
// switched on; the skin applied to the window. Without the file nothing changes. A damaged file
// throws (see SkinFramework::loadSkin) after the colours were set.
void applySkin(QWidget* window, SkinFramework& skin);

}  // namespace ui
