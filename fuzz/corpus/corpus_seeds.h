#pragma once
// Seed writers, one per fuzz target that has one. Each writes valid inputs of every version,
// encoding and layout its target's readers take.

#include "seed_folder.h"

namespace kivo::corpus {

// storage_seeds.cpp
void ArchiveSeeds(SeedFolder& seeds);
void PeResourcesSeeds(SeedFolder& seeds);
// imaging_seeds.cpp
void BmpSeeds(SeedFolder& seeds);
void TgaSeeds(SeedFolder& seeds);
void IcoSeeds(SeedFolder& seeds);
void GalSeeds(SeedFolder& seeds);
// film_seeds.cpp
void FilmSeeds(SeedFolder& seeds);
// map_seeds.cpp
void MapRegionsSeeds(SeedFolder& seeds);
// prev_menu_seeds.cpp
void PrevMenuSeeds(SeedFolder& seeds);
// media_seeds.cpp
void MidiSeeds(SeedFolder& seeds);
void RiffWaveSeeds(SeedFolder& seeds);
// save_seeds.cpp
void SaveEntrySeeds(SeedFolder& seeds);
void StateFileSeeds(SeedFolder& seeds);
// script_seeds.cpp
void PageFileSeeds(SeedFolder& seeds);
void ProjectFileSeeds(SeedFolder& seeds);
void ExpressionSeeds(SeedFolder& seeds);
void VariableStreamSeeds(SeedFolder& seeds);
void InterpreterStateSeeds(SeedFolder& seeds);
void ScriptTextSeeds(SeedFolder& seeds);
// text_seeds.cpp
void MarkupTextSeeds(SeedFolder& seeds);
void GlyphStreamSeeds(SeedFolder& seeds);
void LabelStyleSeeds(SeedFolder& seeds);
// table_seeds.cpp
void DBStreamSeeds(SeedFolder& seeds);
void DBTsvSeeds(SeedFolder& seeds);
// message_seeds.cpp
void MessageWindowSeeds(SeedFolder& seeds);
// shell_seeds.cpp
void PlayerSettingsSeeds(SeedFolder& seeds);

}  // namespace kivo::corpus
