#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "cinemill/ui/qt_clipboard.h"
#include "cinemill/ui/qt_settings_store.h"
#include "cinemill/ui/qt_ui_host.h"

namespace cinemill {

class QtServicesTest : public QObject {
    Q_OBJECT
private slots:
    void SettingsKeepTheirTypesInTheIniFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.ini");
        {
            QtSettingsStore s(path);
            const std::vector<uint8_t> pref = {0, 1, 2, 0xFF, '\n', '='};
            QVERIFY(s.WriteBinary("Pref", pref));
            QVERIFY(s.WriteDword("NPref", 13));
            QVERIFY(s.WriteString("Sig", "Built with \"Cinemill\"\n2.6"));
        }
        QtSettingsStore s(path);
        QCOMPARE(s.ReadBinary("Pref").value(), (std::vector<uint8_t>{0, 1, 2, 0xFF, '\n', '='}));
        QCOMPARE(s.ReadDword("NPref").value(), 13u);
        QCOMPARE(s.ReadString("Sig").value(), std::string("Built with \"Cinemill\"\n2.6"));
        // Another type, or nothing, reads as missing.
        QVERIFY(!s.ReadDword("Sig"));
        QVERIFY(!s.ReadString("Pref"));
        QVERIFY(!s.ReadBinary("NPref"));
        QVERIFY(!s.ReadString("Missing"));
        QVERIFY(s.Remove("Sig"));
        QVERIFY(!s.ReadString("Sig"));
        QVERIFY(s.Remove("NeverThere"));
        // The values sit in the key's group.
        QSettings raw(path, QSettings::IniFormat);
        QCOMPARE(raw.value("2.0/NPref").toString(), QString("dword:0000000d"));
        // A number as the registry gives it reads as a dword; a number in a
        // text that is not ours does not.
        raw.setValue("2.0/Num", 42u);
        raw.setValue("2.0/Text", "42");
        raw.sync();
        QtSettingsStore again(path);
        QVERIFY(!again.ReadDword("Text"));
        // Recent files through the store's shared rules.
        PushRecentFile(again, "/a.gif");
        PushRecentFile(again, "/b.gif");
        PushRecentFile(again, "/a.gif");
        QCOMPARE(ReadRecentFiles(again), (std::vector<std::string>{"/a.gif", "/b.gif"}));
    }

    void ClipboardCarriesTheRecordAndABmp() {
        QtClipboard clip;
        // A 2x1 8-bit DIB with a two-entry palette.
        std::vector<uint8_t> dib(40 + 8 + 4, 0);
        dib[0] = 40;
        dib[4] = 2;
        dib[8] = 1;
        dib[12] = 1;
        dib[14] = 8;
        dib[32] = 2;
        dib[40] = 0xFF;  // entry 0 blue
        dib[46] = 0xFF;  // entry 1 red
        dib[48] = 0;
        dib[49] = 1;
        const std::vector<uint8_t> record = {'C', 'M', 0, 7, 0xFE};
        QVERIFY(clip.Put(record, dib));
        QCOMPARE(clip.FrameRecord().value(), record);
        QCOMPARE(clip.PackedDib().value(), dib);
        // The BMP is a real one: Qt reads the picture.
        const QByteArray bmp = QGuiApplication::clipboard()->mimeData()->data(QtClipboard::kBmpMime);
        QCOMPARE(bmp.size(), qsizetype(14 + dib.size()));
        QImage img;
        QVERIFY(img.loadFromData(bmp, "BMP"));
        QCOMPARE(img.size(), QSize(2, 1));
        QCOMPARE(QColor(img.pixel(0, 0)), QColor(0, 0, 0xFF));
        QCOMPARE(QColor(img.pixel(1, 0)), QColor(0xFF, 0, 0));
        // A picture from another program: a DIB without the record.
        QGuiApplication::clipboard()->setImage(QImage(3, 2, QImage::Format_RGB32));
        QVERIFY(!clip.FrameRecord());
        const auto other = clip.PackedDib();
        QVERIFY(other.has_value());
        QCOMPARE(int((*other)[4]), 3);
        QVERIFY(clip.HasFrame());
        QGuiApplication::clipboard()->clear();
        QVERIFY(!clip.HasFrame());
        // Broken BMPs are refused.
        QVERIFY(!QtClipboard::PackedDibOfBmp(QByteArray("BM")));
        QByteArray bad = QtClipboard::BmpFileOf(dib);
        bad[10] = char(0xFF);
        bad[11] = char(0xFF);
        QVERIFY(!QtClipboard::PackedDibOfBmp(bad));
    }

    void HostAsksWithCaptionsIconsAndFilters() {
        QtUiHost host;
        std::vector<MessageRequest> seen;
        host.runBox = [&](const MessageRequest& r) {
            seen.push_back(r);
            return seen.size() == 1 ? QMessageBox::No : QMessageBox::Ok;
        };
        QCOMPARE(host.AskYesNoCancel("Save changes?", "Cinemill"), Answer::No);
        QVERIFY(host.AskOkCancel("Revert?", "Revert to Saved"));
        host.Error("Broken.");
        QCOMPARE(seen.size(), size_t(3));
        QCOMPARE(seen[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(seen[1].caption, QString("Revert to Saved"));
        QCOMPARE(seen[1].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(seen[2].caption, QString("Error"));
        QCOMPARE(seen[2].icon, QMessageBox::Warning);

        QString changed;
        host.initDirChanged = [&](const QString& d) { changed = d; };
        host.runOpen = [](const OpenRequest&) { return QStringList{"/tmp/x/a.gif", "/tmp/x/b.gif"}; };
        const auto files = host.AskOpenFiles("Open File(s)", {{"GIF Files (*.gif)", "*.gif"}});
        QCOMPARE(files.size(), size_t(2));
        QCOMPARE(changed, QString("/tmp/x"));
        QCOMPARE(QtNameFilter("BMP Files (*.bmp,*.dib)", "*.bmp;*.dib"), QString("BMP Files (*.bmp *.dib)"));
        SaveRequest asked;
        host.runSave = [&](const SaveRequest& r) {
            asked = r;
            return QString();
        };
        QVERIFY(!host.AskSavePath("Export Animation to AVI", "*.avi", "/tmp/a.avi"));
        QCOMPARE(asked.filter, QString("AVI File (*.avi)"));
        QCOMPARE(asked.defaultSuffix, QString("avi"));
        QCOMPARE(asked.start, QString("/tmp/a.avi"));
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::QtServicesTest)
#include "qt_services_test.moc"
