#include "branchwork/qtwidgets/color_picker.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "branchwork/base/texts.h"
#include "branchwork/project/loader.h"
#include "branchwork/qtwidgets/tolv_edit_widget.h"

namespace branchwork {
namespace {

constexpr const char* kNoScreenGrab =
    "This desktop does not let programs read the screen, so colours cannot be sampled from it.";

QSettings PickerSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Color Picker"); }

QColor Qc(PickerRgb c) { return QColor(c.r, c.g, c.b); }

int Distance(PickerRgb a, PickerRgb b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

// Reads one screen pixel; nothing where the platform gives no screen content.
std::optional<PickerRgb> GrabPixel(QPoint global) {
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal" || platform.startsWith("wayland")) return std::nullopt;
    QScreen* screen = QGuiApplication::screenAt(global);
    if (!screen) return std::nullopt;
    const QPoint local = global - screen->geometry().topLeft();
    const QImage img = screen->grabWindow(0, local.x(), local.y(), 1, 1).toImage();
    if (img.isNull() || img.width() < 1) return std::nullopt;
    const QColor c = img.pixelColor(0, 0);
    return PickerRgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

}  // namespace

// ---- grid -------------------------------------------------------------------

TPaletteGrid::TPaletteGrid(QWidget* parent) : QWidget(parent) {
    setObjectName("grid1");
    setFixedSize(16 * (kCell + kLine) + kLine, 16 * (kCell + kLine) + kLine);
    setFocusPolicy(Qt::StrongFocus);
}

QPoint TPaletteGrid::CellCentre(int i) const {
    return {kLine + (i % 16) * (kCell + kLine) + kCell / 2, kLine + (i / 16) * (kCell + kLine) + kCell / 2};
}

int TPaletteGrid::CellAt(QPoint p) const {
    const int c = (p.x() - kLine) / (kCell + kLine), r = (p.y() - kLine) / (kCell + kLine);
    if (p.x() < kLine || p.y() < kLine || c < 0 || c > 15 || r < 0 || r > 15) return -1;
    return r * 16 + c;
}

void TPaletteGrid::Select(int index) {
    selected = index;
    update();
    if (index >= 0) emit cellSelected(index);
}

void TPaletteGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(128, 128, 128));
    for (int i = 0; i < 256; ++i) {
        const QPoint c = CellCentre(i);
        p.fillRect(c.x() - kCell / 2, c.y() - kCell / 2, kCell, kCell, Qc(cells[static_cast<size_t>(i)]));
    }
    if (selected >= 0) {
        const QPoint c = CellCentre(selected);
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(c.x() - kCell / 2 - 1, c.y() - kCell / 2 - 1, kCell + 1, kCell + 1);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(c.x() - kCell / 2 - 2, c.y() - kCell / 2 - 2, kCell + 3, kCell + 3);
    }
}

void TPaletteGrid::mousePressEvent(QMouseEvent* e) {
    const int i = CellAt(e->pos());
    if (i >= 0) Select(i);
}

void TPaletteGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const int i = CellAt(e->pos());
    if (i >= 0) emit cellDoubleClicked(i);
}

// ---- spectrum -----------------------------------------------------------------

TSpectrum::TSpectrum(QWidget* parent) : QWidget(parent), picture(180, 180, QImage::Format_RGB32) {
    setObjectName("imgSpectrum");
    for (int x = 0; x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y) {
            // Hue across; from white at the top through the pure hue to black.
            const double l = 1.0 - static_cast<double>(y) / (picture.height() - 1);
            picture.setPixelColor(x, y, QColor::fromHslF(static_cast<float>(x) / picture.width(), 1.0f,
                                                         static_cast<float>(l)));
        }
    // The middle of the right edge is white, of the left edge black.
    for (int y = 0; y < picture.height(); ++y) {
        const int v = 255 - 255 * y / (picture.height() - 1);
        picture.setPixelColor(picture.width() - 1, y, QColor(v, v, v));
        picture.setPixelColor(0, y, QColor(0, 0, 0));
    }
    picture.setPixelColor(picture.width() - 1, picture.height() / 2, QColor(255, 255, 255));
    setFixedSize(picture.width() + kMargin, picture.height() + kMargin);
    setFocusPolicy(Qt::StrongFocus);
}

PickerRgb TSpectrum::ColorAt(QPoint p) const {
    const QColor c = picture.pixelColor(p);
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

void TSpectrum::Pick(QPoint p) {
    p.setX(std::clamp(p.x(), 0, picture.width() - 1));
    p.setY(std::clamp(p.y(), 0, picture.height() - 1));
    pick = p;
    update();
    emit picked(ColorAt(p));
}

void TSpectrum::Search(PickerRgb c) {
    if (pick.x() >= 0 && ColorAt(pick) == c) return;
    if (c == PickerRgb{255, 255, 255}) return Pick({picture.width() - 1, picture.height() / 2});
    if (c == PickerRgb{0, 0, 0}) return Pick({0, picture.height() / 2});
    QPoint best(-1, -1);
    int best_d = 1 << 30;
    for (int x = picture.width() - 1; x >= 0; --x)
        for (int y = picture.height() - 2; y >= 0; --y) {
            const int d = Distance(ColorAt({x, y}), c);
            if (d == 0) return Pick({x, y});
            if (d < best_d) {
                best_d = d;
                best = {x, y};
            }
        }
    Pick(best);
}

void TSpectrum::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(kMargin, kMargin, picture);
    if (pick.x() < 0) return;
    // Cross-hair: four 3-pixel arms 2 pixels from the point, inverted.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(Qt::white);
    const QPoint c = pick + QPoint(kMargin, kMargin);
    p.drawLine(c.x() - 5, c.y(), c.x() - 3, c.y());
    p.drawLine(c.x() + 3, c.y(), c.x() + 5, c.y());
    p.drawLine(c.x(), c.y() - 5, c.x(), c.y() - 3);
    p.drawLine(c.x(), c.y() + 3, c.x(), c.y() + 5);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygon({{c.x() - 4, 0}, {c.x() + 4, 0}, {c.x(), kMargin - 1}}));
    p.drawPolygon(QPolygon({{0, c.y() - 4}, {0, c.y() + 4}, {kMargin - 1, c.y()}}));
}

void TSpectrum::PickFromMouse(QPoint w, bool press) {
    const QPoint in = w - QPoint(kMargin, kMargin);
    if (press) dragAxis_ = w.y() < kMargin ? 1 : w.x() < kMargin ? 2 : 0;
    const QPoint base = pick.x() < 0 ? QPoint(0, 0) : pick;
    if (dragAxis_ == 1) Pick({in.x(), base.y()});
    else if (dragAxis_ == 2) Pick({base.x(), in.y()});
    else if (QRect(0, 0, picture.width(), picture.height()).contains(in)) Pick(in);
}

void TSpectrum::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) PickFromMouse(e->pos(), true);
}

void TSpectrum::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) PickFromMouse(e->pos(), false);
}

// ---- dialog -------------------------------------------------------------------

TfrmColorPicker::TfrmColorPicker(BwUiHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName("frmColorPicker");
    setWindowTitle("Color Picker");
    customColors.fill(kWhite);
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    outer->addLayout(left);

    auto* top = new QHBoxLayout;
    cmbPal_ = new QComboBox;
    cmbPal_->setObjectName("cmbPal");
    cmbPal_->setToolTip("Select palette or GIF");
    top->addWidget(cmbPal_, 1);
    auto* load = new QToolButton;
    load->setObjectName("btnLoadFile");
    load->setText("...");
    load->setToolTip("Load palette");
    top->addWidget(load);
    cmbSort_ = new QComboBox;
    cmbSort_->setObjectName("cmbSort");
    cmbSort_->addItems({"Palette Order", "Luminance"});
    top->addWidget(cmbSort_);
    left->addLayout(top);

    auto* gridRow = new QHBoxLayout;
    grid_ = new TPaletteGrid;
    gridRow->addWidget(grid_);
    spectrum_ = new TSpectrum;
    spectrum_->hide();
    gridRow->addWidget(spectrum_);
    gridRow->addStretch();
    left->addLayout(gridRow);

    auto* customBox = new QGroupBox("Custom Colors");
    customBox->setObjectName("grpCustomColors");
    auto* ch = new QHBoxLayout(customBox);
    ch->setSpacing(1);
    for (int i = 0; i < 16; ++i) {
        custom_[i] = new QLabel;
        custom_[i]->setObjectName(QString("shCustom%1").arg(i));
        custom_[i]->setFixedSize(11, 11);
        custom_[i]->setAutoFillBackground(true);
        custom_[i]->setFrameShape(QFrame::Box);
        custom_[i]->setContextMenuPolicy(Qt::DefaultContextMenu);
        custom_[i]->installEventFilter(this);
        ch->addWidget(custom_[i]);
    }
    ch->addStretch();
    left->addWidget(customBox);

    auto* right = new QVBoxLayout;
    outer->addLayout(right);
    shColor_ = new QFrame;
    shColor_->setObjectName("shColor");
    shColor_->setToolTip("Selected color");
    shColor_->setFixedSize(90, 48);
    shColor_->setFrameShape(QFrame::Box);
    shColor_->setAutoFillBackground(true);
    shColor_->installEventFilter(this);
    right->addWidget(shColor_);
    const char* dec_names[3] = {"txtRed", "txtGreen", "txtBlue"};
    const char* hex_names[3] = {"txtHexRed", "txtHexGreen", "txtHexBlue"};
    const char* labels[3] = {"Red", "Green", "Blue"};
    auto* fields = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        dec_[i] = new TTolvEdit;
        dec_[i]->setObjectName(dec_names[i]);
        dec_[i]->settings = {true, false, 0, 255, 0};
        dec_[i]->setMaxLength(3);
        dec_[i]->setFixedWidth(44);
        hex_[i] = new TTolvEdit;
        hex_[i]->setObjectName(hex_names[i]);
        hex_[i]->hexOnly = true;
        hex_[i]->setMaxLength(2);
        hex_[i]->setFixedWidth(34);
        hex_[i]->installEventFilter(this);
        fields->addWidget(new QLabel(labels[i]), i, 0);
        fields->addWidget(dec_[i], i, 1);
        fields->addWidget(hex_[i], i, 2);
        connect(dec_[i], &QLineEdit::textChanged, this, [this, i] { OnDecimalChanged(i); });
        connect(hex_[i], &QLineEdit::textChanged, this, [this, i] { OnHexChanged(i); });
    }
    dec_[0]->installEventFilter(this);
    right->addLayout(fields);
    auto tool = [&](const char* name, const QString& text, const QString& hint) {
        auto* b = new QToolButton;
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(hint);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setMinimumWidth(90);
        right->addWidget(b);
        return b;
    };
    btnFind_ = tool("btnFind", "Find", "Find nearest color in the palette");
    btnMoreColor_ = tool("btnMoreColor", "More >>", "More colors");
    btnMoreColor_->setCheckable(true);
    auto* sample = tool("btnSample", "Sample", "Sample a color from the screen");
    auto* zoom = tool("btnZoom", "Zoom", "Sample a color from a magnified window");
    right->addStretch();
    auto* ok = new QPushButton("&OK");
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("&Cancel");
    cancel->setObjectName("btnCancel");
    right->addWidget(ok);
    right->addWidget(cancel);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(grid_, &TPaletteGrid::cellSelected, this,
            [this](int i) { MakeCurrent(grid_->cells[static_cast<size_t>(i)]); });
    connect(grid_, &TPaletteGrid::cellDoubleClicked, this, [this](int) { accept(); });
    connect(spectrum_, &TSpectrum::picked, this, [this](PickerRgb c) { MakeCurrent(c); });
    connect(btnFind_, &QToolButton::clicked, this, &TfrmColorPicker::FindNearest);
    connect(btnMoreColor_, &QToolButton::toggled, this, &TfrmColorPicker::ToggleSpectrum);
    connect(sample, &QToolButton::clicked, this, &TfrmColorPicker::StartSampling);
    connect(zoom, &QToolButton::clicked, this, &TfrmColorPicker::OpenMagnifier);
    connect(cmbPal_, &QComboBox::activated, this, [this](int) {
        LoadPaletteByName(cmbPal_->currentText().toStdString());
        PickerSettings().setValue("Last File", cmbPal_->currentText());
    });
    connect(cmbSort_, &QComboBox::activated, this, [this](int) { LoadPaletteByName(currentName_); });
    connect(load, &QToolButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(
            this, "Open", QString::fromStdString(paletteDir_),
            "GIF files (*.gif);;Palette Files (RIFF & JASC) (*.pal);;Photoshop Palettes (*.act)");
        if (!f.isEmpty()) LoadPaletteFile(f.toStdString());
    });
    fadeTimer_.setInterval(15);
    connect(&fadeTimer_, &QTimer::timeout, this, [this] {
        if (fadeSteps_.empty()) {
            fadeTimer_.stop();
            grid_->cells = fadeTarget_;
        } else {
            grid_->cells = fadeSteps_.front();
            fadeSteps_.erase(fadeSteps_.begin());
        }
        grid_->update();
    });

    // Settings and the first palette.
    QSettings s = PickerSettings();
    paletteDir_ = s.value("InitialDir").toString().toStdString();
    if (paletteDir_.empty()) paletteDir_ = QCoreApplication::applicationDirPath().toStdString();
    websafeDir_ = QDir::tempPath().toStdString();
    EnsureWebSafePaletteFile(websafeDir_);
    for (int i = 0; i < 16; ++i)
        if (auto c = CustomColorFromStore(
                s.value(QString("%1/%2").arg(kCustomColoursSection).arg(i)).toString().toStdString()))
            customColors[static_cast<size_t>(i)] = *c;
    for (int i = 0; i < 16; ++i) SetCustom(i, customColors[static_cast<size_t>(i)]);
    ListPalettes();
    const QString last = s.value("Last File", kWebSafeName).toString();
    cmbPal_->setCurrentIndex(std::max(0, cmbPal_->findText(last)));
    LoadPaletteByName(cmbPal_->currentText().toStdString());
    if (IsYes(s.value("Show Spectrum", "false").toString().toStdString())) btnMoreColor_->setChecked(true);
    fade_ = IsYes(s.value("Fade", "false").toString().toStdString());
    grid_->setFocus();
}

TfrmColorPicker::~TfrmColorPicker() = default;

void TfrmColorPicker::ListPalettes() {
    cmbPal_->clear();
    for (const std::string& n : ListPaletteFiles(paletteDir_)) cmbPal_->addItem(QString::fromStdString(n));
}

void TfrmColorPicker::ShowPalette(const PaletteData& p) {
    palette_ = p;
    PaletteData shown = p;
    if (cmbSort_->currentIndex() == 1) SortByLuminance(shown.colors, shown.sortCount);
    SetGrid(GridFromPalette(shown));
}

void TfrmColorPicker::SetGrid(const std::array<PickerRgb, 256>& to) {
    if (!fade_ || !isVisible()) {
        fadeTimer_.stop();
        grid_->cells = to;
        grid_->update();
        return;
    }
    fadeSteps_ = FadePictures(grid_->cells, to);
    fadeTarget_ = to;
    fadeTimer_.start();
}

void TfrmColorPicker::LoadPaletteByName(const std::string& name) {
    currentName_ = name;
    if (auto p = LoadPickerPalette(name, paletteDir_, websafeDir_, host_)) ShowPalette(*p);
}

void TfrmColorPicker::LoadPaletteFile(const std::string& path) {
    const QFileInfo fi(QString::fromStdString(path));
    paletteDir_ = fi.absolutePath().toStdString() + "/";
    PickerSettings().setValue("InitialDir", QString::fromStdString(paletteDir_));
    ListPalettes();
    cmbPal_->setCurrentIndex(std::max(0, cmbPal_->findText(fi.fileName())));
    LoadPaletteByName(fi.fileName().toStdString());
}

PickerRgb TfrmColorPicker::Current() const {
    auto ch = [](const TTolvEdit* e) { return static_cast<uint8_t>(std::clamp(e->Value(), 0, 255)); };
    return {ch(dec_[0]), ch(dec_[1]), ch(dec_[2])};
}

Color TfrmColorPicker::PickedColor() const { return FromPickerRgb(Current()); }

void TfrmColorPicker::SetColor(Color c) { MakeCurrent(ToPickerRgb(ResolveColor(c))); }

void TfrmColorPicker::MakeCurrent(PickerRgb c) {
    const uint8_t v[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
        const QString t = QString::number(v[i]);
        if (dec_[i]->text() != t) dec_[i]->setText(t);
    }
    QPalette pal = shColor_->palette();
    pal.setColor(QPalette::Window, Qc(c));
    shColor_->setPalette(pal);
}

void TfrmColorPicker::OnDecimalChanged(int i) {
    const std::string hex = DecimalToHexField(dec_[i]->text().toStdString());
    if (hex_[i]->text().toStdString() != hex) {
        const int caret = hex_[i]->cursorPosition();
        hex_[i]->setText(QString::fromStdString(hex));
        hex_[i]->setCursorPosition(std::min(caret, static_cast<int>(hex.size())));
    }
    QPalette pal = shColor_->palette();
    pal.setColor(QPalette::Window, Qc(Current()));
    shColor_->setPalette(pal);
}

void TfrmColorPicker::OnHexChanged(int i) {
    if (hex_[i]->text().size() != 2) return;
    const auto v = HexFieldValue(hex_[i]->text().toStdString());
    if (!v) return;
    const QString t = QString::number(*v);
    if (dec_[i]->text() != t) {
        const int caret = dec_[i]->cursorPosition();
        dec_[i]->setText(t);
        dec_[i]->setCursorPosition(std::min(caret, static_cast<int>(t.size())));
    }
}

void TfrmColorPicker::FindNearest() {
    if (spectrum_->isVisible()) spectrum_->Search(Current());
    grid_->Select(NearestGridIndex(grid_->cells, Current()));
    grid_->setFocus();
}

void TfrmColorPicker::SetFade(bool on) {
    fade_ = on;
    PickerSettings().setValue("Fade", on ? "true" : "false");
}

void TfrmColorPicker::ToggleSpectrum(bool on) {
    spectrum_->setVisible(on);
    if (on) spectrum_->Search(Current());
    PickerSettings().setValue("Show Spectrum", on ? "true" : "false");
    btnFind_->setToolTip(on ? "Find nearest color in palette and spectrum" : "Find nearest color in palette");
    adjustSize();
}

void TfrmColorPicker::SetCustom(int i, Color c) {
    customColors[static_cast<size_t>(i)] = c;
    QPalette pal = custom_[i]->palette();
    pal.setColor(QPalette::Window, Qc(ToPickerRgb(c)));
    custom_[i]->setPalette(pal);
    custom_[i]->setToolTip(c == kWhite ? QString() : QString::fromStdString(CustomColorHint(c)));
}

void TfrmColorPicker::PasteInto(TTolvEdit* field, const QString& text) {
    const std::string t = text.toStdString();
    if (field == dec_[0]) {
        if (auto parts = SplitDecimalTriple(t)) {
            for (int i = 0; i < 3; ++i) dec_[i]->setText(QString::fromStdString((*parts)[static_cast<size_t>(i)]));
            return;
        }
        field->insert(text);
        return;
    }
    std::string error;
    if (auto c = ParseHtmlColor(t, &error)) {
        const uint8_t v[3] = {c->r, c->g, c->b};
        for (int i = 0; i < 3; ++i) hex_[i]->setText(QString("%1").arg(v[i], 2, 16, QChar('0')).toUpper());
    } else {
        host_.Message(error, MessageIcon::Error);
    }
}

bool TfrmColorPicker::SampleAt(QPoint global) {
    const auto c = GrabPixel(global);
    if (!c) {
        sampling_ = false;
        host_.Message(kNoScreenGrab, MessageIcon::Information);
        return false;
    }
    MakeCurrent(*c);
    return true;
}

void TfrmColorPicker::StartSampling() {
    if (!GrabPixel(QCursor::pos())) {
        host_.Message(kNoScreenGrab, MessageIcon::Information);
        return;
    }
    sampling_ = true;
    grabMouse(Qt::CrossCursor);
}

void TfrmColorPicker::mouseMoveEvent(QMouseEvent* e) {
    if (sampling_) SampleAt(e->globalPosition().toPoint());
    QDialog::mouseMoveEvent(e);
}

void TfrmColorPicker::mouseReleaseEvent(QMouseEvent* e) {
    if (sampling_) {
        SampleAt(e->globalPosition().toPoint());
        sampling_ = false;
        releaseMouse();
    }
    QDialog::mouseReleaseEvent(e);
}

void TfrmColorPicker::OpenMagnifier() {
    const QPoint at = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!GrabPixel(at) || !screen) {
        host_.Message(kNoScreenGrab, MessageIcon::Information);
        return;
    }
    // The magnifier: the screen around the pointer at eight times; a click
    // picks the pixel under it.
    QDialog zoom(this);
    zoom.setWindowTitle("Color Picker Zoom");
    const QPoint local = at - screen->geometry().topLeft();
    const QImage area = screen->grabWindow(0, local.x() - 20, local.y() - 20, 40, 40).toImage();
    auto* l = new QLabel(&zoom);
    l->setPixmap(QPixmap::fromImage(area.scaled(320, 320)));
    l->setFixedSize(320, 320);
    auto* v = new QVBoxLayout(&zoom);
    v->addWidget(l);
    l->installEventFilter(&zoom);
    struct Picker : QObject {
        QImage img;
        TfrmColorPicker* self;
        QDialog* dlg;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() != QEvent::MouseButtonPress) return false;
            const QPoint p = static_cast<QMouseEvent*>(e)->pos() / 8;
            if (QRect(QPoint(0, 0), img.size()).contains(p)) {
                const QColor c = img.pixelColor(p);
                self->SetColor(MakeColor(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                                         static_cast<uint8_t>(c.blue())));
            }
            dlg->accept();
            return true;
        }
    } picker;
    picker.img = area;
    picker.self = this;
    picker.dlg = &zoom;
    l->installEventFilter(&picker);
    QSettings s = PickerSettings();
    s.beginGroup("Form Positions/Color Picker Zoom");
    const int left = s.value("Left", "-999").toInt(), top = s.value("Top", "-999").toInt();
    if (left != -999 && top != -999) zoom.move(left, top);
    zoom.exec();
    s.setValue("Left", QString::number(zoom.x()));
    s.setValue("Top", QString::number(zoom.y()));
    s.setValue("Width", QString::number(zoom.width()));
    s.setValue("Height", QString::number(zoom.height()));
    s.setValue("Window State", "Normal");
}

bool TfrmColorPicker::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool paste = (k->key() == Qt::Key_V && (k->modifiers() & Qt::ControlModifier)) ||
                           (k->key() == Qt::Key_Insert && (k->modifiers() & Qt::ShiftModifier));
        auto* field = qobject_cast<TTolvEdit*>(o);
        if (paste && field) {
            const QString text = QApplication::clipboard()->text();
            if (!text.isEmpty()) PasteInto(field, text);
            return true;
        }
    }
    if (o == shColor_ && e->type() == QEvent::MouseButtonPress) {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::RightButton && (m->modifiers() & Qt::ShiftModifier)) {
            QMenu menu;
            QAction* fade = menu.addAction("&Fade");
            fade->setCheckable(true);
            fade->setChecked(fade_);
            if (menu.exec(m->globalPosition().toPoint()) == fade) SetFade(!fade_);
            return true;
        }
    }
    for (int i = 0; i < 16; ++i) {
        if (o != custom_[i]) continue;
        if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            MakeCurrent(ToPickerRgb(customColors[static_cast<size_t>(i)]));
            return true;
        }
        if (e->type() == QEvent::ContextMenu) {
            QMenu menu;
            QAction* set = menu.addAction("&Set Current Color");
            QAction* del = menu.addAction("&Delete Color");
            QAction* clear = menu.addAction("&Clear All Colors");
            QAction* got = menu.exec(static_cast<QContextMenuEvent*>(e)->globalPos());
            if (got == set) SetCustom(i, PickedColor());
            if (got == del) SetCustom(i, kWhite);
            if (got == clear && host_.ConfirmOkCancel(texts::kClearCustomColors))
                for (int j = 0; j < 16; ++j) SetCustom(j, kWhite);
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

void TfrmColorPicker::accept() {
    QSettings s = PickerSettings();
    for (int i = 0; i < 16; ++i)
        s.setValue(QString("%1/%2").arg(kCustomColoursSection).arg(i),
                   QString::fromStdString(CustomColorStoreValue(customColors[static_cast<size_t>(i)])));
    QDialog::accept();
}

}  // namespace branchwork
