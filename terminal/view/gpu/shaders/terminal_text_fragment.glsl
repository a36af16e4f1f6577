#version 330 core
// Premultiplied texels (colour atlas, images) modulated by the vertex colour; v = 0 is the
// texture's first stored row, so nothing flips.
in vec2 vTexCoord;
in vec4 vColor;
uniform sampler2D atlas;
out vec4 fragColor;

void main()
{
    vec4 texel = texture(atlas, vTexCoord);
    fragColor = texel * vec4(vColor.rgb * vColor.a, vColor.a);
}
