#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tessera::bench {

// Prints one "scenario: value unit" line.
void report(const char* scenario, double value, const char* unit);

// Milliseconds of one run, and the best of `runs` runs.
double timeMs(const std::function<void()>& work);
double bestMs(const std::function<void()>& work, int runs = 3);

// Resident and peak resident memory of this process, in megabytes.
double residentMb();
double peakResidentMb();

// Writes `count` distinct 400 × 300 JPEG tiles (quality 85, varied content) into `folder`.
QStringList writeTileSet(const QString& folder, int count);

}  // namespace tessera::bench
