#version 330 core
// Straight alpha; blending does the rest.
in vec4 vColor;
out vec4 fragColor;

void main()
{
    fragColor = vColor;
}
