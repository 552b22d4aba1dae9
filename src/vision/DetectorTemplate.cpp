#include "DetectorTemplate.h"

#include "Log.h"
#include "TemplateMatcher.h"

void loadDetectorTemplate(cv::Mat &target, const QString &path, const QString &what)
{
    const cv::Mat picture = loadTemplateImage(path);
    if (picture.empty()) {
        logWarn(QStringLiteral("Failed to load %1 template: %2").arg(what, path));
        return;
    }
    target = picture;
    logInfo(QStringLiteral("Loaded %1 template: %2 (grayscale)").arg(what, path));
}
