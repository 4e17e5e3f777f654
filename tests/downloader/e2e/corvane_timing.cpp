// placeholder
int main() {}
