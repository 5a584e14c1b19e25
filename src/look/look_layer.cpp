// Holds this layer's place until its first source file lands.
