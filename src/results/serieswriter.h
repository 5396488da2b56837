// The per-step series written as a CSV file (--series FILE).
#pragma once

#include <cstdio>
#include <string>

#include "series.h"

class SeriesWriter : public SeriesRecorder {
public:
    // Creates the file and writes the header; ends the program when it cannot be written.
    explicit SeriesWriter(const std::string& fileName);
    ~SeriesWriter() override;
    SeriesWriter(const SeriesWriter&) = delete;
    SeriesWriter& operator=(const SeriesWriter&) = delete;

protected:
    void addRow(const SeriesRow& row) override;
    void rowsAdded(bool runEnded) override;

private:
    std::string fileName;
    FILE* file;
    std::string rows;  // complete rows not yet written

    void writeRows();
};
