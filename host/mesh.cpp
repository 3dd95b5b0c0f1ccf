#include "host/mesh.h"

void Mesh::setNumFaces(int n) {
    faces.resize(static_cast<std::size_t>(n));
    for (MeshMap& m : maps_) {
        if (m.used) {
            m.tf.resize(static_cast<std::size_t>(n));
        }
    }
}

BOOL Mesh::mapSupport(int mp) const {
    return mp >= 0 && mp < getNumMaps() && Map(mp).used && Map(mp).tf.size() == faces.size();
}

void Mesh::setMapSupport(int mp, BOOL support) {
    if (mp < 0 || mp >= MAX_MESHMAPS) {
        return;
    }
    if (mp >= getNumMaps()) {
        setNumMaps(mp + 1);
    }
    MeshMap& m = Map(mp);
    m.used = support != 0;
    if (m.used) {
        m.tf.resize(faces.size());
    } else {
        m.tv.clear();
        m.tf.clear();
    }
}

int Mesh::getNumMapVerts(int mp) const {
    return mapSupport(mp) ? static_cast<int>(Map(mp).tv.size()) : 0;
}

void Mesh::setNumMapVerts(int mp, int n) {
    if (mp >= 0 && mp < getNumMaps()) {
        Map(mp).tv.resize(static_cast<std::size_t>(n));
    }
}

UVVert* Mesh::mapVerts(int mp) {
    return mapSupport(mp) ? Map(mp).tv.data() : nullptr;
}
const UVVert* Mesh::mapVerts(int mp) const {
    return mapSupport(mp) ? Map(mp).tv.data() : nullptr;
}
TVFace* Mesh::mapFaces(int mp) {
    return mapSupport(mp) ? Map(mp).tf.data() : nullptr;
}
const TVFace* Mesh::mapFaces(int mp) const {
    return mapSupport(mp) ? Map(mp).tf.data() : nullptr;
}
