#include "scene/scene_dump.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scene/scene_port.h"

namespace kivo {
namespace {

TEST(SceneDump, BlankSceneHoldsTheTwoEmptyLayersAtTheSceneSize) {
    BlankScene scene;
    scene.SetSize(320, 240);
    SceneDump dump;
    dump.layers.resize(5);  // whatever the caller's record held is replaced
    scene.DumpScene(dump);
    EXPECT_EQ(SceneDumpJson(dump),
              "{\"activeLayer\": 0, \"layers\": [\n"
              "  {\"class\": \"TKivoBase\", \"name\": \"\\u0001BASE0\", \"visible\": true, "
              "\"rect\": [0, 0, 320, 240], \"props\": {\"PR_NAME\": \"\\u0001BASE0\", "
              "\"PR_LEFT\": 0, \"PR_TOP\": 0, \"PR_WIDTH\": 320, \"PR_HEIGHT\": 240, "
              "\"PR_VISIBLE\": true}, \"children\": []},\n"
              "  {\"class\": \"TKivoBase\", \"name\": \"\\u0001BASE1\", \"visible\": true, "
              "\"rect\": [0, 0, 320, 240], \"props\": {\"PR_NAME\": \"\\u0001BASE1\", "
              "\"PR_LEFT\": 0, \"PR_TOP\": 0, \"PR_WIDTH\": 320, \"PR_HEIGHT\": 240, "
              "\"PR_VISIBLE\": true}, \"children\": []}\n"
              "]}\n");
}

TEST(SceneDump, NestsChildrenAndWritesEveryValueKindAsJson) {
    SceneDumpNode leaf{"TKivoImages",
                       "\x89\xe6\x91\x9c",  // 画像 in CP932
                       false,
                       TRect{10, 20, 30, 40},
                       {{"PR_ALPHA", 128},
                        {"PR_PARAM1", 0.5},
                        {"PR_PARAM2", std::nan("")},
                        {"PR_TEXT", std::string("a\"b\\c\n")},
                        {"PR_PAUSED", false}},
                       {}};
    SceneDumpNode box{"TKivoBox", "box", true, TRect{0, 0, 100, 50}, {}, {leaf}};
    SceneDump dump;
    dump.activeLayer = 1;
    dump.layers.push_back(SceneDumpNode{"TKivoBase",
                                        "\x01"
                                        "BASE0",
                                        true,
                                        {},
                                        {},
                                        {}});
    dump.layers.push_back(SceneDumpNode{"TKivoBase",
                                        "\x01"
                                        "BASE1",
                                        true,
                                        {},
                                        {},
                                        {box}});
    EXPECT_EQ(SceneDumpJson(dump),
              "{\"activeLayer\": 1, \"layers\": [\n"
              "  {\"class\": \"TKivoBase\", \"name\": \"\\u0001BASE0\", \"visible\": true, "
              "\"rect\": [0, 0, 0, 0], \"props\": {}, \"children\": []},\n"
              "  {\"class\": \"TKivoBase\", \"name\": \"\\u0001BASE1\", \"visible\": true, "
              "\"rect\": [0, 0, 0, 0], \"props\": {}, \"children\": [\n"
              "    {\"class\": \"TKivoBox\", \"name\": \"box\", \"visible\": true, "
              "\"rect\": [0, 0, 100, 50], \"props\": {}, \"children\": [\n"
              "      {\"class\": \"TKivoImages\", \"name\": \"画像\", \"visible\": false, "
              "\"rect\": [10, 20, 30, 40], \"props\": {\"PR_ALPHA\": 128, \"PR_PARAM1\": 0.5, "
              "\"PR_PARAM2\": null, \"PR_TEXT\": \"a\\\"b\\\\c\\n\", \"PR_PAUSED\": false}, "
              "\"children\": []}\n"
              "    ]}\n"
              "  ]}\n"
              "]}\n");
}

}  // namespace
}  // namespace kivo
