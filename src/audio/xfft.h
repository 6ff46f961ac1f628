// Cxfft turns frames of 16-bit samples into averaged log levels and the heights of pixel columns.
#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/real_fft.h"

class Cxfft {
public:
    static constexpr int kMinSize = 1024;
    static constexpr int kMaxSize = 524288;

    Cxfft();  // N = 2048, averaging length 1, 1000 Hz
    Cxfft(const Cxfft&) = delete;
    Cxfft& operator=(const Cxfft&) = delete;
    virtual ~Cxfft();

    // Reconfigures. A requested size of 0 changes nothing; outside kMinSize..kMaxSize selects
    // kMaxSize; inside but not a power of two is rounded down to one. An averaging length <= 0
    // is stored as 1. The same size and averaging length keep the running averages.
    // A sample rate <= 0 (or not finite) is kept, and every column then reads 0.
    // Not to be called while another thread is in LoadFrame/ComputeColumns.
    void Setup(int requestedSize, int averagingLength, double sampleRate);

    // Windows exactly frameSize samples into the frame. Refuses (false) a null pointer or any
    // other count, leaving the loaded frame as it was.
    bool LoadFrame(const std::int16_t* samples, int count);

    // Transforms the frame loaded since the last call (if any) and updates the averages, then
    // writes `columns` levels (0..height) into `levels`, never more. The write is refused (false,
    // nothing written) for null levels, columns below 1 or above frameSize / 2; the frame still
    // counts. A call without a newly loaded frame only writes the columns.
    bool ComputeColumns(int height, int columns, double bottomDb, double topDb, int startHz, int endHz,
                        int* levels);

    void ResetAverages();

    // Averaged level of bin b (0 .. frameSize/2 - 1) in bels, as the columns use it; 0 for a bin
    // out of range. LevelDb is the same in dB.
    double AverageBels(int bin);
    double LevelDb(int bin) { return 10.0 * AverageBels(bin); }
    // True once a frame has gone into the averages since they were last reset.
    bool HasAverages();
    // The averaged levels in dB of bins first .. first + count - 1, taken together (one frame's
    // averages, never two half frames); false, nothing written, before the first frame since the
    // averages were reset or for bins outside 0 .. frameSize/2 - 1.
    bool CopyLevelsDb(int first, int count, double* out);

    // --- state, read by the display and by tests ---
    int framesInAverage = 0;
    int framesTotal = 0;
    int appliedAveragingLength = 0;
    int frameSize = 0;
    int allocatedSize = 0;
    int averagingLength = 1;
    int mapStartHz = 0, mapEndHz = 0;
    int startBin = 0, endBin = 0;
    int mapColumns = 0;
    double floorPower = 0.0;   // power added to every bin before the logarithm
    double levelOffset = 0.0;  // bels added after the logarithm
    double rate = 0.0;

private:
    void BuildTables(int n);
    void ResetAveragesLocked();
    void RebuildColumnMap(int columns, int startHz, int endHz);
    void UpdateAverages();
    void WriteColumns(int height, int columns, double bottomDb, double topDb, int* levels) const;

    // Per-bin arrays are kept at the bin's transform position, plan.Position(bin).
    std::vector<int> columnMap;      // position -> column or -1 (more bins than columns), else column -> position
    std::vector<double> window;      // symmetric Hann, N
    std::vector<double> averages;    // averaged level of each bin, in bels
    std::vector<double> sums;        // running sums behind `averages`
    std::vector<double> work;        // the frame: even samples, then odd samples; then the transform
    std::vector<double> power;       // |X[b]|^2 of the latest frame
    spectrum::RealFftPlan plan;
    bool mapIsBinToColumn = false;
    bool frameLoaded = false;
    std::mutex lock;
};
