#pragma once
// A game of the generators (tools/pggen) as a test game, node for node.
#include "generators.h"
#include "test_game.h"

TestGame from_generated(const pggen::Game& game);
