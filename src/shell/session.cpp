#include "shell/session.h"

#include <cstring>
#include <iostream>

#include "base/error.h"
#include "imaging/dib_surface.h"
#include "imaging/png_codec.h"
#include "script/variable_dump.h"
#include "shell/bounded_file.h"
#include "shell/form_view.h"

namespace kivo {

namespace {

// The outputs of one run. A file that cannot be written is reported on stderr and makes the
// run's status 2; the run itself goes on.
class SessionOutputs {
  public:
    SessionOutputs(Player& player, SessionDriver& driver) : player_(player), driver_(driver) {}

    void Screenshot(const std::filesystem::path& path) {
        std::vector<uint32_t> pixels;
        int32_t width = 0;
        int32_t height = 0;
        Guarded([&] {
            if (driver_.Capture(pixels, width, height) && width > 0 && height > 0) {
                WriteScreenshot(path, pixels, width, height);
            } else {
                std::cerr << "kivoplay: no frame was presented; " << path.string()
                          << " was not written\n";
            }
        });
    }

    // The variables as they stand; after the project closed, where it stopped.
    void DumpVars(const std::filesystem::path& path) {
        Guarded([&] {
            // A start-up that failed before the table was made still leaves a dump to read.
            const TParamCollection empty(&player_.state);
            const TParamCollection& variables = player_.variables ? *player_.variables : empty;
            const InterpreterPosition position =
                player_.project ? player_.project->Position() : player_.lastPosition;
            WriteWholeFile(path, DumpVariables(player_.state, position, variables) + "\n");
        });
    }

    // The scene as it stands; a start-up that failed before the scene was made gives the
    // empty layers.
    void DumpScene(const std::filesystem::path& path) {
        Guarded([&] {
            SceneDump dump;
            if (player_.scene) {
                player_.scene->DumpScene(dump);
            } else {
                BlankScene().DumpScene(dump);
            }
            WriteWholeFile(path, SceneDumpJson(dump));
        });
    }

    void Observe(const Observation& observation) {
        switch (observation.kind) {
            case ObservationKind::Screenshot:
                Screenshot(observation.path);
                return;
            case ObservationKind::DumpVars:
                DumpVars(observation.path);
                return;
            case ObservationKind::DumpScene:
                DumpScene(observation.path);
                return;
        }
    }

    [[nodiscard]] int Status() const { return status_; }

  private:
    template <typename Write>
    void Guarded(Write write) {
        try {
            write();
        } catch (const KivoError& error) {
            std::cerr << "kivoplay: " << error.what() << '\n';
            status_ = 2;
        }
    }

    Player& player_;
    SessionDriver& driver_;
    int status_ = 0;
};

}  // namespace

void WriteScreenshot(const std::filesystem::path& path, const std::vector<uint32_t>& pixels,
                     int32_t width, int32_t height) {
    TDIBSurface surface(width, height, 32);
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(surface.ScanLine(y), pixels.data() + static_cast<ptrdiff_t>(y) * width,
                    static_cast<size_t>(width) * 4);
    }
    const std::vector<uint8_t> png = EncodePng(surface);
    WriteWholeFile(path, std::string(png.begin(), png.end()));
}

int RunSession(Player& player, const SessionOptions& options, SessionDriver& driver) {
    SessionOutputs outputs(player, driver);
    TFormView view(player);
    view.beforeVariablesFreed = [&](Player&) {
        if (!options.dumpVarsFile.empty()) outputs.DumpVars(options.dumpVarsFile);
    };
    view.beforeSceneFreed = [&](Player&) {
        if (!options.dumpSceneFile.empty()) outputs.DumpScene(options.dumpSceneFile);
    };

    driver.BeforeStartup();
    view.FormCreate();
    int64_t frames = 0;
    size_t nextObservation = 0;
    InputEvent event;
    while (!view.CloseRequested()) {
        if (options.frames && frames >= *options.frames) break;
        driver.BeforePass(frames);
        while (!view.CloseRequested() && player.platform.input.PollEvent(event))
            view.HandleEvent(event);
        if (view.CloseRequested()) break;
        driver.BeforeIdle();
        const bool idle = view.Idle();
        if (driver.Headless() || !idle) {
            for (; nextObservation < options.observations.size() &&
                   options.observations[nextObservation].frame <= frames;
                 ++nextObservation) {
                outputs.Observe(options.observations[nextObservation]);
            }
            ++frames;
        } else {
            // Nothing to do until the window gets the focus back: wait for its events.
            player.platform.input.WaitForEvent(100);
        }
    }
    view.FormClose();
    for (; nextObservation < options.observations.size(); ++nextObservation) {
        const Observation& late = options.observations[nextObservation];
        std::cerr << "kivoplay: the run ended before frame " << late.frame << "; "
                  << late.path.string() << " was not written\n";
    }

    if (!options.screenshotFile.empty()) outputs.Screenshot(options.screenshotFile);
    if (!view.Started()) return 1;
    return outputs.Status();
}

}  // namespace kivo
