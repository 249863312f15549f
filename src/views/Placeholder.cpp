// placeholder until the first sources land
