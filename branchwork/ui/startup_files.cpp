#include "branchwork/ui/startup_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "branchwork/output/class_files.h"

namespace branchwork {

std::string PrepareDataFolder(BwUiHost& host) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty()) dir = QDir::homePath() + "/.branchwork";
    QDir().mkpath(dir + "/help/JClass");
    const std::string data = dir.toStdString() + "/";
    ExtractMainClasses(data, host);
    const QString exe = QCoreApplication::applicationDirPath();
    for (const QString& from : {exe + "/../share/branchwork/help/JClass", exe + "/help/JClass"}) {
        const QDir src(from);
        if (!src.exists()) continue;
        for (const QString& f : src.entryList({"*.class"}, QDir::Files)) {
            const QString to = dir + "/help/JClass/" + f;
            if (!QFile::exists(to)) QFile::copy(src.filePath(f), to);
        }
        break;
    }
    return data;
}

}  // namespace branchwork
