#include "standalone/materials/material_classes.h"

#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/double_sided.h"
#include "standalone/materials/multi_material.h"
#include "standalone/materials/normal_bump.h"
#include "standalone/materials/shell_material.h"
#include "standalone/materials/standard_material.h"

std::vector<ClassDesc*> MaterialClassDescs() {
    // The material classes in the host's directory order. The plug-in never
    // offers the first two as the class of baked materials: a shell cannot
    // hold itself, and a multi/sub-object material has no map slots of its own.
    return {GetShellMaterialDesc(), GetMultiMaterialDesc(), GetStandardMaterialDesc(),
            GetDoubleSidedDesc(),   GetBitmapTextureDesc(), GetNormalBumpDesc()};
}

StdMat* NewDefaultStdMat() {
    return new StandardMaterial;
}

BitmapTex* NewDefaultBitmapTex() {
    return new BitmapTexture;
}

MultiMtl* NewDefaultMultiMtl() {
    return new MultiMaterial;
}
