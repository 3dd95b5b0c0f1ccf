#include "standalone/materials/material_classes.h"

#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/multi_material.h"
#include "standalone/materials/normal_bump.h"
#include "standalone/materials/standard_material.h"

std::vector<ClassDesc*> MaterialClassDescs() {
    return {GetStandardMaterialDesc(), GetMultiMaterialDesc(), GetBitmapTextureDesc(),
            GetNormalBumpDesc()};
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
