#pragma once
// "Module de parallélisation intelligente pour l'analyse de fichiers"
// "Analyse les fichiers indépendants en parallèle en utilisant le graphe de dépendances"
//
// Orders the files of a project into dependency levels and size-limited batches that can be
// analysed in parallel. Every function is pure and synchronous: it reads its arguments, never
// modifies them and returns new containers; any thread may call it. Paths are compared as plain
// texts, without normalisation. Time is linear in the number of files plus dependency entries.
//
// Levels: level 0 holds every listed file on which no other listed file depends, in the order
// of `files`; a file comes in a later level than every file that depends on it. Files that lie
// on a dependency cycle (a self-edge counts), together with everything they depend on, cannot
// be ordered: they are appended, in graph order, to the end of the last level (or form the only
// level). Within a later level, files come in the order of their releasing file in the previous
// level, then in the visiting order of that file's dependency set, which is the order of first
// insertion (see DependencyGraph); results are therefore reproducible run to run.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/dependency_graph.hpp"

namespace orvane::wave_planner {

// The files to analyse, in order; a path may occur more than once (its first occurrence counts).
using FileList = std::vector<std::string>;

// For each file, the files it depends on, in order. Entries are walked in vector order; a key
// listed more than once contributes all its lists, in that order. Keys and dependencies that are
// not in the file list are ignored.
using DependenciesMap = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Ordered levels; each level is a non-empty ordered list of paths.
using Levels = std::vector<std::vector<std::string>>;

// Each distinct listed path with the zero-based index of its level; unordered.
using PriorityMap = std::unordered_map<std::string, std::size_t>;

// Ordered batches; each is a non-empty slice of one level, at most `batch_size` long.
using Batches = std::vector<std::vector<std::string>>;

struct LevelGrouping {
  Levels levels;
  PriorityMap priority_map;
};

// "Construit un graphe de dépendances entre fichiers"
// Keys: the distinct entries of `files`, in order of first appearance. Each set holds the listed
// dependencies of its file (a self-edge is kept, repeats collapse), in order of first insertion
// while walking `dependencies_map` in order.
DependencyGraph build_dependency_graph(const FileList& files,
                                       const DependenciesMap& dependencies_map);

// "Effectue un tri topologique du graphe pour déterminer l'ordre d'analyse"
// The levels of `graph` (see above); set members that are not keys are ignored. Every key is
// placed exactly once. An empty graph gives no level.
Levels topological_sort(const DependencyGraph& graph);

// "Détecte les fichiers indépendants et les groupe par niveau pour parallélisation"
// topological_sort(build_dependency_graph(files, dependencies_map)); no level when `files` is
// empty.
Levels detect_independent_files(const FileList& files, const DependenciesMap& dependencies_map);

// "Groupe les fichiers par niveau de dépendance et retourne aussi un map de priorité"
// The levels of detect_independent_files and, for each of their files, its level's index.
LevelGrouping group_files_by_dependency_level(const FileList& files,
                                              const DependenciesMap& dependencies_map);

// "Crée des batches optimisés pour la parallélisation en respectant les dépendances"
// Each level cut, in order, into consecutive slices of `batch_size` files (the last slice of a
// level may be shorter); a batch never mixes levels. A negative `batch_size` gives no batch.
// Throws std::invalid_argument naming `batch_size` when it is 0 and `files` is not empty.
Batches get_parallelizable_batches(const FileList& files, const DependenciesMap& dependencies_map,
                                   std::ptrdiff_t batch_size);

}  // namespace orvane::wave_planner
