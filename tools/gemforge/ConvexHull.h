#pragma once
// Convex hulls of small point sets, facet by facet, for the cuts whose outline is convex.

#include <span>
#include <vector>

#include "tools/gemforge/GemMesh.h"

// The hull's facets as convex polygons, counter-clockwise seen from outside; coplanar faces
// are merged into one facet. Points inside the hull or inside a facet are left out, points on
// a hull edge kept, so that both facets along the edge share them. Meant for the few hundred
// points of a jewel: the search tries every triple.
std::vector<std::vector<Vec3>> HullFacets(std::span<const Vec3> points);

// Adds the hull of points to mesh.
void AddHull(GemMesh& mesh, std::span<const Vec3> points);
