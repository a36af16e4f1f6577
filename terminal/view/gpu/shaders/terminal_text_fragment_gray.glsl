#version 330 core
// The grayscale atlas's red channel is coverage of the vertex colour; output premultiplied.
in vec2 vTexCoord;
in vec4 vColor;
uniform sampler2D atlas;
out vec4 fragColor;

void main()
{
    float coverage = texture(atlas, vTexCoord).r;
    float alpha = vColor.a * coverage;
    fragColor = vec4(vColor.rgb * alpha, alpha);
}
