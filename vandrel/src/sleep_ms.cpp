// placeholder until the library lands
