#pragma once

#include <QString>

#include <opencv2/core.hpp>

// Loads a detector's template from `path` into `target`, logging "Loaded <what> template: ..."
// or, keeping `target` as it was, "Failed to load <what> template: ...".
void loadDetectorTemplate(cv::Mat &target, const QString &path, const QString &what);
