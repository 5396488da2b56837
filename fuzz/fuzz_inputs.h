// Feeding raw bytes to the configuration reader and the genome reader, shared by the
// libFuzzer harnesses and the regression test that replays the inputs they found.
#pragma once

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "NEAT_GenomeError.h"
#include "NetworkActivator.h"
#include "configdump.h"
#include "params.h"
#include "util.h"

namespace nkfuzz {

// The byte that separates the configuration files packed into one input: main file,
// then optionally the extra file and up to two compared-strategy files.
constexpr uint8_t kFileSeparator = 0;
constexpr size_t kMaxConfigFiles = 4;

// How the genome harness stores its input, chosen by the first byte modulo 3.
enum GenomeStorage { GenomePlain = 0, GenomeGzip = 1, GenomeRawGz = 2 };

inline bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

inline bool writeGzipFile(const std::string& path, const uint8_t* data, size_t size) {
    gzFile f = gzopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    // gzwrite takes an unsigned length; inputs are small, but stay correct for any size.
    for (size_t done = 0; done < size && ok;) {
        unsigned chunk = static_cast<unsigned>(std::min<size_t>(size - done, 1u << 20));
        ok = gzwrite(f, data + done, chunk) == static_cast<int>(chunk);
        done += chunk;
    }
    return gzclose(f) == Z_OK && ok;
}

// A private working directory holding the files of one input, plus the genome
// populations that configuration inputs may name (relative names work because the
// configuration harness reads from inside this directory).
class Workspace {
public:
    Workspace() {
        const char* tmp = getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/nkfuzz-XXXXXX";
        if (!mkdtemp(&tmpl[0])) {
            perror("nkfuzz: mkdtemp");
            abort();
        }
        dir_ = tmpl;
    }
    ~Workspace() {
        // Only the files this class may have written; anything else stays for a post-mortem.
        for (const char* name : kNames) unlink(path(name).c_str());
        rmdir(dir_.c_str());
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }

    // Copies genome populations into the directory under the names the seed corpus uses.
    void addGenome(const std::string& name, const std::string& sourcePath) {
        FILE* in = fopen(sourcePath.c_str(), "rb");
        if (!in) return;
        std::vector<uint8_t> bytes;
        int c;
        while ((c = getc(in)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        fclose(in);
        writeFile(path(name), bytes.data(), bytes.size());
    }

    static constexpr const char* kNames[] = {"main.cfg",   "extra.cfg", "cmp1.cfg",   "cmp2.cfg", "pop.xml",
                                             "pop.xml.gz", "nn0.xml",   "nn0.xml.gz", "nn2.xml",  "nn5.xml",
                                             "cyclic.xml", "dump.cfg",  "empty.cfg"};

private:
    std::string dir_;
};

// Genome files a configuration input may name, relative to the source tree.
inline void addStandardGenomes(Workspace& ws, const std::string& sourceDir) {
    ws.addGenome("nn0.xml", sourceDir + "/examples/genomes/nn_type0.xml");
    ws.addGenome("nn0.xml.gz", sourceDir + "/examples/genomes/nn_type0.xml.gz");
    ws.addGenome("nn2.xml", sourceDir + "/examples/genomes/nn_type2.xml");
    ws.addGenome("nn5.xml", sourceDir + "/examples/genomes/nn_type5.xml");
    ws.addGenome("cyclic.xml", sourceDir + "/tests/data/cyclic_pop.xml");
}

// What became of one input.
enum Outcome { OutcomeAccepted, OutcomeFatalExit, OutcomeLoadError };

struct Result {
    Outcome outcome = OutcomeAccepted;
    int status = 0;  // the exit status for OutcomeFatalExit
};

// Runs the reader from inside the workspace, so that genome names in configurations
// resolve there, and returns to the caller's directory (libFuzzer keeps relative paths).
class InWorkspace {
public:
    explicit InWorkspace(const Workspace& ws) : previous_(open(".", O_RDONLY | O_DIRECTORY)) {
        if (previous_ < 0 || chdir(ws.dir().c_str()) != 0) {
            perror("nkfuzz: chdir");
            abort();
        }
    }
    ~InWorkspace() {
        if (fchdir(previous_) != 0) {
            perror("nkfuzz: fchdir");
            abort();
        }
        close(previous_);
    }
    InWorkspace(const InWorkspace&) = delete;
    InWorkspace& operator=(const InWorkspace&) = delete;

private:
    int previous_;
};

// A configuration that was read is written back (--dump-config); that must read back to one
// that is written back the same. The dump holds the extra file's blocks, so an empty file
// takes the extra file's place where compared strategies need one.
inline void checkWrittenBack(Workspace& ws, SimuParameters& params, std::vector<std::string> names,
                             std::vector<std::string>& comparedNames) {
    const std::string text = configDump(params, "");
    names[0] = ws.path("dump.cfg");
    if (!writeFile(names[0], reinterpret_cast<const uint8_t*>(text.data()), text.size())) abort();
    if (names.size() == 2) names.pop_back();
    if (names.size() > 2) {
        names[1] = ws.path("empty.cfg");
        if (!writeFile(names[1], nullptr, 0)) abort();
    }
    try {
        SimuParameters again(comparedNames);
        again.readFromFile(names, 0);
        if (configDump(again, "") == text) return;
        fprintf(stderr, "nkfuzz: the configuration written back is written back differently\n%s", text.c_str());
    } catch (const FatalExit&) {
        fprintf(stderr, "nkfuzz: the configuration written back does not read back\n%s", text.c_str());
    }
    abort();
}

// Splits data at kFileSeparator into at most kMaxConfigFiles files (the last one takes
// the rest, separators included), writes them into the workspace and reads them as
// the program would read its configuration files.
inline Result runConfigInput(Workspace& ws, const uint8_t* data, size_t size) {
    static const char* const kFiles[kMaxConfigFiles] = {"main.cfg", "extra.cfg", "cmp1.cfg", "cmp2.cfg"};
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t f = 0; f < kMaxConfigFiles && start <= size; f++) {
        size_t end = size;
        if (f + 1 < kMaxConfigFiles) {
            const uint8_t* sep = static_cast<const uint8_t*>(std::memchr(data + start, kFileSeparator, size - start));
            if (sep) end = static_cast<size_t>(sep - data);
        }
        std::string path = ws.path(kFiles[f]);
        if (!writeFile(path, data + start, end - start)) abort();
        names.push_back(path);
        if (end == size) break;
        start = end + 1;
    }

    // One name per compared strategy, as the command line would give them.
    std::vector<std::string> comparedNames;
    for (size_t i = 2; i < names.size(); i++) comparedNames.push_back("s" + std::to_string(i - 2));

    InWorkspace inWorkspace(ws);
    FatalModeGuard throwing(FatalMode::Throw);
    Result result;
    try {
        SimuParameters params(comparedNames);
        params.readFromFile(names, 0);
        checkWrittenBack(ws, params, names, comparedNames);
    } catch (const FatalExit& e) {
        result.outcome = OutcomeFatalExit;
        result.status = e.status;
    }
    return result;
}

// The first byte says how the rest is stored (GenomeStorage); the rest is the file.
// Loads it, then builds and runs the networks of the first few individuals the way a
// network strategy does.
inline Result runGenomeInput(Workspace& ws, const uint8_t* data, size_t size) {
    Result result;
    if (size == 0) return result;
    const GenomeStorage storage = static_cast<GenomeStorage>(data[0] % 3);
    const std::string path = ws.path(storage == GenomePlain ? "pop.xml" : "pop.xml.gz");
    const bool written =
        storage == GenomeGzip ? writeGzipFile(path, data + 1, size - 1) : writeFile(path, data + 1, size - 1);
    if (!written) abort();

    // Every configuration read starts the NEAT globals afresh; so does every input.
    NEAT::Globals globals;
    globals.setParameterValue("UseActGaussian", 1.0);

    try {
        NEAT::NetworkActivator activator(true);
        activator.loadPopulation(path, globals);
        const int count = std::min(activator.getCacheSize(), 4);
        for (int i = 0; i < count; i++) {
            std::unique_ptr<NEAT::FastNetwork> net(activator.fetchFastNetwork(i));
            const int o0 = net->getNodeIndex("OUTPUT0");
            const int o1 = net->getNodeIndex("OUTPUT1");
            const int depth = net->computeMaxDepth({o0, o1});
            net->reinitialize();
            net->setValue(net->getNodeIndex(NEAT::NA_BIAS_NAME), 1.0);
            for (int k = 0; k < 6; k++) net->setValue(net->getNodeIndex("INPUT" + std::to_string(k)), 0.5 - k);
            net->update(depth);
            volatile double sink = net->getValue(o0) + net->getValue(o1);
            (void)sink;
        }
    } catch (const NEAT::GenomeError&) {
        result.outcome = OutcomeLoadError;
    }
    return result;
}

}  // namespace nkfuzz
