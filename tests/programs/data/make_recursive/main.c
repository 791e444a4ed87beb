/* main.c */
int main(void)
{
    return missing_call(2);
}
