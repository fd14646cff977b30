#pragma once
// A stage that records what a film does to its objects, and pictures made up in memory.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/film_stage.h"

namespace kivo::test {

struct StageObject {
    TFilmTrackKind kind{};
    int32_t layer = 0;
    std::map<PropertyId, int32_t> ints = {};
    std::map<PropertyId, double> floats = {};
    std::map<PropertyId, std::string> strings = {};
    const TFilmPicture* picture = nullptr;
    int32_t pictureFrame = -1;
    std::optional<std::pair<int32_t, int32_t>> motion = {};
    std::optional<int32_t> subPriority = {};
    TFilmEmission emission = {};
    int32_t plays = 0;

    [[nodiscard]] int32_t Int(PropertyId id) const {
        auto it = ints.find(id);
        return it == ints.end() ? -999999 : it->second;
    }
};

class RecordingStage : public TFilmStage {
  public:
    // Objects alive, by id.
    std::map<TFilmObjectId, StageObject> objects;
    // Creations, removals and transitions in order: "create 1", "remove 1", "run 3 0/10 fresh",
    // "end".
    std::vector<std::string> log;
    int32_t shownLayer = -1;
    // What a sound object reports as its length (PR_COUNT).
    int32_t soundLengthMs = 0;

    TFilmObjectId CreateObject(TFilmTrackKind kind, int32_t layer) override {
        const TFilmObjectId id = next_++;
        objects[id] = StageObject{.kind = kind, .layer = layer};
        log.push_back("create " + std::to_string(id));
        return id;
    }
    void RemoveObject(TFilmObjectId object) override {
        objects.erase(object);
        log.push_back("remove " + std::to_string(object));
    }
    void SetProperty(TFilmObjectId object, PropertyId id, int32_t value) override {
        Driven(object).ints[id] = value;
    }
    void SetFloatProperty(TFilmObjectId object, PropertyId id, double value) override {
        Driven(object).floats[id] = value;
    }
    void SetStringProperty(TFilmObjectId object, PropertyId id, std::string_view value) override {
        Driven(object).strings[id] = std::string(value);
    }
    int32_t GetProperty(TFilmObjectId object, PropertyId id) override {
        StageObject& o = Driven(object);
        if (id == PR_COUNT) return soundLengthMs;
        auto it = o.ints.find(id);
        return it == o.ints.end() ? 0 : it->second;
    }
    void SetPicture(TFilmObjectId object, const TFilmPicture& picture, int32_t frame) override {
        Driven(object).picture = &picture;
        Driven(object).pictureFrame = frame;
    }
    void SetMotionPosition(TFilmObjectId object, int32_t x, int32_t y) override {
        Driven(object).motion = {x, y};
    }
    void SetSubPriority(TFilmObjectId object, int32_t subPriority) override {
        Driven(object).subPriority = subPriority;
    }
    void SetEmission(TFilmObjectId object, const TFilmEmission& emission) override {
        Driven(object).emission = emission;
    }
    void PlaySound(TFilmObjectId object) override {
        StageObject& o = Driven(object);
        ++o.plays;
        o.ints[PR_PAUSED] = 0;
        o.ints[PR_PLAYING] = 1;
    }
    void RunTransition(const TFilmTransition& transition, int32_t progress, int32_t length,
                       bool fresh) override {
        log.push_back("run " + std::to_string(transition.Kind) + " " + std::to_string(progress) +
                      "/" + std::to_string(length) + (fresh ? " fresh" : ""));
    }
    void EndTransition() override { log.push_back("end"); }
    void ShowLayer(int32_t layer) override { shownLayer = layer; }

    // The one live object of a kind (the test fails through .at when there is none).
    [[nodiscard]] StageObject& Only(TFilmTrackKind kind) {
        for (auto& [id, o] : objects) {
            if (o.kind == kind) return o;
        }
        return objects.at(0);
    }
    [[nodiscard]] size_t Count(TFilmTrackKind kind) const {
        size_t n = 0;
        for (const auto& [id, o] : objects)
            n += o.kind == kind;
        return n;
    }
    // An object the test made itself, for motion mode.
    TFilmObjectId Adopt(TFilmTrackKind kind) {
        const TFilmObjectId id = next_++;
        objects[id] = StageObject{.kind = kind};
        return id;
    }

  private:
    StageObject& Driven(TFilmObjectId object) { return objects.at(object); }

    TFilmObjectId next_ = 1;
};

class FakePicture : public TFilmPicture {
  public:
    explicit FakePicture(std::vector<TFilmPictureFrame> frames) : frames_(std::move(frames)) {}
    [[nodiscard]] const std::vector<TFilmPictureFrame>& Frames() const override { return frames_; }

  private:
    std::vector<TFilmPictureFrame> frames_;
};

class FakePictures : public TFilmPictureSource {
  public:
    std::map<std::string, std::shared_ptr<FakePicture>> pictures;
    std::vector<std::string> asked;

    void Add(const std::string& name, std::vector<TFilmPictureFrame> frames) {
        pictures[name] = std::make_shared<FakePicture>(std::move(frames));
    }
    std::shared_ptr<const TFilmPicture> Acquire(std::string_view name) override {
        asked.emplace_back(name);
        auto it = pictures.find(std::string(name));
        return it == pictures.end() ? nullptr : it->second;
    }
};

}  // namespace kivo::test
