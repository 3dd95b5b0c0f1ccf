// Materials and textures.
#pragma once

class Mtl;
