#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <string>

#include "branchwork/base/ui_host.h"
#include "branchwork/widgets/palette_files.h"

class QComboBox;
class QFrame;
class QLabel;
class QToolButton;

namespace branchwork {

class TTolvEdit;

// The 16x16 palette grid (cells 11 pixels, 2-pixel lines).
class TPaletteGrid : public QWidget {
    Q_OBJECT
public:
    explicit TPaletteGrid(QWidget* parent = nullptr);
    std::array<PickerRgb, 256> cells{};
    int selected = -1;
    static constexpr int kCell = 11, kLine = 2;
    QPoint CellCentre(int index) const;
    void Select(int index);
signals:
    void cellSelected(int index);
    void cellDoubleClicked(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    int CellAt(QPoint p) const;
};

// The spectrum: hue across, lightness down, with a cross-hair and two
// triangles at the edges marking the pick.
class TSpectrum : public QWidget {
    Q_OBJECT
public:
    explicit TSpectrum(QWidget* parent = nullptr);
    static constexpr int kMargin = 8;  // strips above and left hold the triangles
    QImage picture;
    QPoint pick{-1, -1};
    void Pick(QPoint p);  // in picture coordinates, kept inside
    PickerRgb ColorAt(QPoint p) const;
    // Finds the current colour (exact, else nearest) and picks it.
    void Search(PickerRgb c);
signals:
    void picked(PickerRgb c);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void PickFromMouse(QPoint widget_pos, bool press);
    int dragAxis_ = 0;  // 0 picture, 1 horizontal triangle, 2 vertical triangle
};

// "Color Picker": palette grid, palette files, custom colours, decimal and
// hex fields, spectrum, screen sampling.
class TfrmColorPicker : public QDialog {
    Q_OBJECT
public:
    TfrmColorPicker(BwUiHost& host, QWidget* parent = nullptr);
    ~TfrmColorPicker() override;
    void SetColor(Color c);
    Color PickedColor() const;
    PickerRgb Current() const;
    TPaletteGrid* Grid() const { return grid_; }
    // Loads a palette by name from the palette directory (or websafe.pal).
    void LoadPaletteByName(const std::string& name);
    void LoadPaletteFile(const std::string& path);
    void FindNearest();
    void SetFade(bool on);
    // Samples the screen pixel at a global point; false (after saying so)
    // where the desktop does not let programs read the screen.
    bool SampleAt(QPoint global);
    std::array<Color, 16> customColors;
    void SetCustom(int i, Color c);
    void PasteInto(TTolvEdit* field, const QString& text);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void accept() override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void ShowPalette(const PaletteData& p);
    void SetGrid(const std::array<PickerRgb, 256>& to);
    void OnDecimalChanged(int channel);
    void OnHexChanged(int channel);
    void MakeCurrent(PickerRgb c);
    void ListPalettes();
    void ToggleSpectrum(bool on);
    void StartSampling();
    void OpenMagnifier();

    BwUiHost& host_;
    std::string paletteDir_, websafeDir_, currentName_;
    PaletteData palette_;
    TPaletteGrid* grid_;
    TSpectrum* spectrum_;
    QFrame* shColor_;
    TTolvEdit* dec_[3];
    TTolvEdit* hex_[3];
    QComboBox *cmbPal_, *cmbSort_;
    QToolButton *btnFind_, *btnMoreColor_;
    QLabel* custom_[16];
    bool fade_ = false;
    bool sampling_ = false;
    bool updating_ = false;
    QTimer fadeTimer_;
    std::vector<std::array<PickerRgb, 256>> fadeSteps_;
    std::array<PickerRgb, 256> fadeTarget_{};
};

}  // namespace branchwork
