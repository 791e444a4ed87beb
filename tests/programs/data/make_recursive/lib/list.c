/* list.c */
int list_length(int *list)
{
    return list->length;
}
