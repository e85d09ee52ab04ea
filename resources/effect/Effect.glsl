// The effect of both programs: every shader they draw with. Each technique compiles this file
// with its own name defined (TECHNIQUE_Keyboard, TECHNIQUE_PaletteJewel, ...) behind the
// stage interface and the parameter uniforms, so the source holds only the techniques' code.
// The effect lives in three places: this source; the technique and parameter table, with each
// technique's pass states, in graphics/EffectDescription.cpp; and the effect framework that
// compiles and runs it in platform/graphics/gl/GlEffect.cpp.
//
// Matrices arrive as the program wrote them, row-major for row vectors: `M * v` is the
// row-vector product v·M, as the program composes world × view × projection.

#if defined(TECHNIQUE_Keyboard)
// Keys take their colour from their entry of the 48 key colours; a vertex is lit (alpha 1)
// when the glow sources of the eight entries, each weighted by its w over its distance, add up
// to 4.
void main() {
    vec3 position = tovel_InPosition.xyz;
    tovelSetPosition(g_mViewProjection * vec4(position, 1.0));
    float sum = 0.0;
    for (int k = 0; k < 8; ++k) {
        sum += g_aFloat4x8[k].w / distance(position, g_aFloat4x8[k].xyz);
    }
    int key = int(floor(tovel_InPosition.w));
    tovel_Diffuse = vec4(g_aFloat4x48[key].rgb, sum >= 4.0 ? 1.0 : 0.0);
    tovel_Tex0 = tovel_InTex0;
    tovel_Tex1 = vec2(0.0);
}
#endif

#if defined(TECHNIQUE_PaletteJewel) || defined(TECHNIQUE_KeyboardClearJewel) || \
    defined(TECHNIQUE_KeyboardColorJewel) || defined(TECHNIQUE_ClearJewel) ||      \
    defined(TECHNIQUE_SeveralColorJewel)
// The jewels' lighting: a facet glows where its normal meets the half vector between the light
// and the eye. Facets turned almost straight away from it light up from behind (back), facets
// turned towards it from the front, and the brightest of those also in white; only back and
// white light carry alpha, so only they glow after the bright pass.
void main() {
    // The position's w names the jewel's entry in the instance arrays.
    int i = int(floor(tovel_InPosition.w));
#if defined(TECHNIQUE_ClearJewel) || defined(TECHNIQUE_SeveralColorJewel)
    i -= g_nConst;
#endif
    vec4 rotatedNormal = g_mRotation * tovel_InNormal;
    vec4 N = rotatedNormal / length(rotatedNormal);
    vec4 Q = g_mRotation * vec4(tovel_InPosition.xyz, 1.0);
    vec3 o = g_aFloat4x32[i].xyz;

#if defined(TECHNIQUE_PaletteJewel)
    vec3 P = Q.xyz;
    vec3 E = normalize(vec3(0.0, 0.0, -2.25) - P);
    vec3 light = vec3(-1.0, 1.75, -1.75);
    vec4 clip = g_mViewProjection * Q + g_aFloat4x32[i];
    const float whiteThreshold = 0.9848;
#elif defined(TECHNIQUE_KeyboardClearJewel) || defined(TECHNIQUE_KeyboardColorJewel)
    // Only the height of the instance moves the lit point; the whole offset moves the jewel.
    vec3 P = Q.xyz + vec3(0.0, o.y, 0.0);
#if defined(TECHNIQUE_KeyboardClearJewel)
    vec3 E = normalize(g_vCamera - P);
#else
    vec3 E = normalize(g_vCamera - 1.5 * o);
#endif
    vec3 light = g_vLightPosition;
    vec4 clip = g_mViewProjection * vec4(Q.xyz + o, Q.w);
    const float whiteThreshold = 0.99;
#else
    vec3 P = Q.xyz + o;
    vec3 E = normalize(g_vCamera - P);
    vec3 light = g_vLightPosition;
    vec4 clip = g_mViewProjection * vec4(P, Q.w);
    const float whiteThreshold = 0.99;
#endif

    vec3 L = light - P;
    float distanceToLight = length(L);
    vec3 H = normalize(L / distanceToLight + E);
#if defined(TECHNIQUE_PaletteJewel)
    float k = 1.0 / distanceToLight;
#else
    float k = 1.0 / distanceToLight * g_fLightPower;
#endif

    float d = dot(H, N.xyz);
    float back = max(-d, 0.0);
    back = back >= 0.9848 ? back : 0.0;
    float front = max(0.9962 - d * d, d);
    float white = front >= whiteThreshold ? front : 0.0;

#if defined(TECHNIQUE_PaletteJewel) || defined(TECHNIQUE_SeveralColorJewel)
    vec3 colour = g_aFloat4x32_2[i].rgb;
    vec3 backTerm = back * colour;
    vec3 frontTerm = front * front * colour;
#elif defined(TECHNIQUE_KeyboardClearJewel)
    vec3 backTerm = back * vec3(abs(o.x), 0.5 * abs(o.z), abs(o.y));
    vec3 frontTerm = front * front * g_vColor.rgb;
#elif defined(TECHNIQUE_KeyboardColorJewel)
    vec3 backTerm = back * g_vColor.rgb;
    vec3 frontTerm = front * front * front * g_vColor.rgb;
#else
    vec3 colour = g_aFloat4x32_2[i].rgb;
    vec3 backTerm = back * (0.5 * H + 0.5 + 0.5 * colour);
    vec3 frontTerm = front * front * colour;
#endif

    tovel_Diffuse = vec4(clamp((backTerm + frontTerm + white) * k, 0.0, 1.0), max(back, white));
    tovel_Tex0 = vec2(0.0);
    tovel_Tex1 = vec2(0.0);
    tovelSetPosition(clip);
}
#endif

#if defined(TECHNIQUE_BrightPassFilter)
// Selection by alpha, not brightness: any alpha at all glows, at one and a half times its colour.
void main() {
    vec4 t = texture(s0, tovel_Tex0);
    tovel_Color = t.a - 1.0 / 150000.0 >= 0.0 ? 1.5 * t : vec4(0.0);
}
#endif

#if defined(TECHNIQUE_GaussBlurF4x32)
// 31 taps: texture-coordinate offset in xy, weight in z.
void main() {
    vec4 sum = vec4(0.0);
    for (int k = 0; k < 31; ++k) {
        sum += texture(s0, tovel_Tex0 + g_aFloat4x32[k].xy) * g_aFloat4x32[k].z;
    }
    tovel_Color = sum;
}
#endif

#if defined(TECHNIQUE_GaussBlurF4x16)
// The centre at full weight and sixteen weighted taps around it.
void main() {
    vec4 sum = texture(s0, tovel_Tex0);
    for (int k = 0; k < 16; ++k) {
        sum += texture(s0, tovel_Tex0 + g_aFloat4x16[k].xy) * g_aFloat4x16[k].z;
    }
    tovel_Color = sum;
}
#endif

#if defined(TECHNIQUE_MergeRenderTarget)
// Scene plus glow; the scene's brightness, scaled by the factor, goes into alpha as well.
void main() {
    vec4 a = texture(s0, tovel_Tex0);
    vec4 b = texture(s1, tovel_Tex0);
    tovel_Color = vec4(a.rgb + b.rgb, a.a + b.a + g_fConst * (a.r + a.g + a.b));
}
#endif
