#include "pdfbook.h"

namespace quorvane {

const std::array<TitleField, 4> kTitleFields = {{
    {&BookTitle::project, "工程名称", "--project", "计算书的工程名称", "工程名称(&N):", "book/project"},
    {&BookTitle::part, "部位/楼层", "--part", "计算书的部位或楼层", "部位/楼层(&A):", "book/part"},
    {&BookTitle::preparedBy, "计算人", "--prepared-by", "计算书的计算人", "计算人(&R):", "book/preparedBy"},
    {&BookTitle::checkedBy, "校对", "--checked-by", "计算书的校对人", "校对(&C):", "book/checkedBy"},
}};

}  // namespace quorvane
