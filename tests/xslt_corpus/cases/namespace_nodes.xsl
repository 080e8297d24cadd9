<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:for-each select="/catalog/namespace::*"><xsl:sort select="name()"/><ns name="{name()}" uri="{.}"/></xsl:for-each></r></xsl:template>
</xsl:stylesheet>
